/* MRAID 1.0 for the ad's creative, over the vuderu bridge. The native side moves the state with
 * stateChange; everything the creative asks of the container goes out as a vuderu call. */
function mraidCtor(vuderuBridge, initState) {
    var w = window;
    var STATES = {
        LOADING: 'loading',
        UNKNOWN: 'unknown',
        DEFAULT: 'default',
        EXPANDED: 'expanded',
        HIDDEN: 'hidden'
    };
    var EVENTS = {
        ASSETREADY: 'assetReady',
        ASSETREMOVED: 'assetRemoved',
        ASSETRETIRED: 'assetRetired',
        INFO: 'info',
        ERROR: 'error',
        ORIENTATIONCHANGE: 'orientationChange',
        READY: 'ready',
        STATECHANGE: 'stateChange',
        VIEWABLECHANGE: 'viewableChange'
    };
    var CLOSE_ID = 'vuderu-mraid-default-close';
    var CLOSE_IMAGE_PATH = '/adSpaceStyles/images/bttn-close-bw.png';
    /* The ad service's static-content host; the container may set another before the ad shows. */
    var DEFAULT_STATIC_CONTENT_HOST = 'https://static.vuderu.com';

    var listeners = {};
    var state = STATES.LOADING;
    var expandProperties = {
        width: initState.width,
        height: initState.height,
        isModal: initState.isModal,
        useCustomClose: false
    };
    var placementType = initState.placementType;
    var disabled = false;
    var closeListenerInstalled = false;

    function log(text) {
        if (w.console && typeof w.console.log === 'function') {
            w.console.log(text);
        }
    }

    function stringify(value) {
        var parts = [];
        if (value instanceof Array) {
            for (var i = 0; i < value.length; i++) {
                parts.push(stringify(value[i]));
            }
            return '[' + parts.join(',') + ']';
        }
        if (value !== null && typeof value === 'object') {
            for (var key in value) {
                if (Object.prototype.hasOwnProperty.call(value, key)) {
                    parts.push("'" + key + "':" + stringify(value[key]));
                }
            }
            return '{' + parts.join(',') + '}';
        }
        return String(value);
    }

    function isKnownEvent(event) {
        for (var name in EVENTS) {
            if (EVENTS[name] === event) {
                return true;
            }
        }
        return false;
    }

    /* Calls the event's listeners in order; a listener may be the name of a global function. A
     * listener that throws ends the broadcast. */
    function broadcast(event) {
        var list = listeners[event];
        if (!list || list.length === 0) {
            return;
        }
        var args = Array.prototype.slice.call(arguments, 1);
        list = list.slice();
        try {
            for (var i = 0; i < list.length; i++) {
                var listener = list[i];
                if (typeof listener === 'string') {
                    if (typeof w[listener] === 'function') {
                        w[listener].apply(w, args);
                    }
                } else if (typeof listener === 'function') {
                    listener.apply(w, args);
                }
            }
        } catch (e) {
            log('mraid listener for ' + event + ' failed: ' + e);
        }
    }

    function closeButton() {
        return w.document.getElementById(CLOSE_ID);
    }

    function staticContentHost() {
        return typeof w.vuderuStaticContentHost === 'string' ? w.vuderuStaticContentHost : DEFAULT_STATIC_CONTENT_HOST;
    }

    function updateCloseButton() {
        var shown = !expandProperties.useCustomClose &&
            (placementType === 'interstitial' || state === STATES.EXPANDED);
        var button = closeButton();
        if (shown && !button && w.document.body) {
            button = w.document.createElement('img');
            button.id = CLOSE_ID;
            button.src = staticContentHost() + CLOSE_IMAGE_PATH;
            button.style.cssText = 'position: absolute; top: 10px; right: 10px; width: 50px; height: 50px; z-index: 10000';
            w.document.body.appendChild(button);
        } else if (!shown && button && button.parentNode) {
            button.parentNode.removeChild(button);
        }
    }

    /* One listener on the body catches taps on the close button, so that creatives which rebuild
     * the body's markup do not lose it. */
    function installCloseListener() {
        if (closeListenerInstalled || !w.document.body) {
            return;
        }
        closeListenerInstalled = true;
        w.document.body.addEventListener('click', function (event) {
            if (!event || !event.target || event.target.id !== CLOSE_ID) {
                return;
            }
            try {
                if (w.mraid) {
                    w.mraid.close();
                } else if (w.vuderuadapter) {
                    w.vuderuadapter.executeCall('adWillClose');
                } else {
                    log('unable to close');
                }
            } catch (e) {
                log('unable to close: ' + e);
            }
        });
    }

    var mraid = {
        STATES: STATES,
        EVENTS: EVENTS,

        disable: function () {
            if (disabled) {
                return;
            }
            var button = closeButton();
            if (button && button.parentNode) {
                button.parentNode.removeChild(button);
            }
            disabled = true;
        },

        addEventListener: function (event, listener) {
            if (disabled) {
                return;
            }
            if (!event || !listener) {
                broadcast(EVENTS.ERROR, 'Both event and listener are required.', 'addEventListener');
            } else if (!isKnownEvent(event)) {
                broadcast(EVENTS.ERROR, 'Unknown event: ' + event, 'addEventListener');
            } else {
                (listeners[event] || (listeners[event] = [])).push(listener);
            }
            vuderuBridge.executeCall('eventListenerAdded');
        },

        removeEventListener: function (event, listener) {
            if (disabled) {
                return;
            }
            if (!event) {
                broadcast(EVENTS.ERROR, 'Must specify an event.', 'removeEventListener');
                return;
            }
            if (listener !== undefined && listener !== null) {
                var list = listeners[event];
                if (list) {
                    for (var i = list.length - 1; i >= 0; i--) {
                        if (list[i] === listener) {
                            list.splice(i, 1);
                        }
                    }
                }
            } else {
                listeners[event] = [];
            }
        },

        stateChange: function (newState) {
            if (disabled || newState === state) {
                return;
            }
            var oldState = state;
            broadcast(EVENTS.INFO, 'setting state to ' + stringify(newState));
            state = newState;
            if (oldState === STATES.LOADING && newState === STATES.DEFAULT) {
                installCloseListener();
                updateCloseButton();
                broadcast(EVENTS.READY);
            }
            if (oldState === STATES.HIDDEN || newState === STATES.HIDDEN) {
                broadcast(EVENTS.VIEWABLECHANGE);
            }
            if ((oldState === STATES.DEFAULT && newState === STATES.EXPANDED) ||
                (oldState === STATES.EXPANDED && newState === STATES.DEFAULT)) {
                updateCloseButton();
            }
            broadcast(EVENTS.STATECHANGE, newState);
        },

        close: function () {
            if (disabled) {
                return;
            }
            if (state === STATES.DEFAULT) {
                mraid.stateChange(STATES.HIDDEN);
                vuderuBridge.executeCall('adWillClose');
            } else if (state === STATES.EXPANDED) {
                mraid.stateChange(STATES.DEFAULT);
                vuderuBridge.executeCall('collapse');
            } else {
                log('close() called in state ' + state);
            }
        },

        expand: function (url) {
            if (disabled) {
                return;
            }
            if (state !== STATES.DEFAULT) {
                log('expand() called in state ' + state);
                return;
            }
            if (placementType === 'interstitial') {
                log('expand() called for placement type ' + placementType);
                return;
            }
            if (url !== undefined && url !== null) {
                vuderuBridge.executeCall('expand', 'width', expandProperties.width, 'height', expandProperties.height, 'url', url);
            } else {
                vuderuBridge.executeCall('expand', 'width', expandProperties.width, 'height', expandProperties.height);
            }
            mraid.stateChange(STATES.EXPANDED);
        },

        setExpandProperties: function (properties) {
            if (disabled || !properties) {
                return;
            }
            if (typeof properties.width === 'number' && !isNaN(properties.width)) {
                expandProperties.width = properties.width;
            }
            if (typeof properties.height === 'number' && !isNaN(properties.height)) {
                expandProperties.height = properties.height;
            }
            if (typeof properties.useCustomClose === 'boolean') {
                expandProperties.useCustomClose = properties.useCustomClose;
                updateCloseButton();
            }
        },

        getExpandProperties: function () {
            if (disabled) {
                return;
            }
            return {
                width: expandProperties.width,
                height: expandProperties.height,
                isModal: expandProperties.isModal,
                useCustomClose: expandProperties.useCustomClose
            };
        },

        getPlacementType: function () {
            return placementType;
        },

        getVersion: function () {
            return disabled ? '' : '1.0';
        },

        getState: function () {
            return disabled ? '' : state;
        },

        isViewable: function () {
            return disabled ? false : state !== STATES.HIDDEN;
        },

        open: function (url) {
            if (disabled) {
                return;
            }
            try {
                vuderuBridge.executeCall('open', 'url', url);
            } catch (e) {
                log(e);
            }
        },

        useCustomClose: function (use) {
            if (disabled || typeof use !== 'boolean') {
                return;
            }
            expandProperties.useCustomClose = use;
            updateCloseButton();
        }
    };
    return mraid;
}
