/* The page's way to the native side: each call is a navigation to a vuderu call URL, made by an
 * IFRAME that is added to the document and removed again at once. */
function vuderuBridgeCtor(w) {
    var bridge = {
        vuderuCallQueue: [],

        executeCall: function (command) {
            var url = 'vuderu://vuderucall?event=' + command;
            for (var i = 1; i < arguments.length; i += 2) {
                var value = arguments[i + 1];
                if (value !== null && value !== undefined) {
                    url += '&' + arguments[i] + '=' + escape(value);
                }
            }
            if (bridge.vuderuCallQueue.length > 0) {
                bridge.vuderuCallQueue.push(url);
            } else {
                bridge.executeNativeCall(url);
            }
        },

        executeNativeCall: function (adapterCall) {
            if (adapterCall === '') {
                return;
            }
            var frame = w.document.createElement('IFRAME');
            frame.setAttribute('src', adapterCall);
            w.document.documentElement.appendChild(frame);
            frame.parentNode.removeChild(frame);
        },

        callComplete: function (cmd) {
            if (bridge.vuderuCallQueue.length === 0) {
                return;
            }
            bridge.executeNativeCall(bridge.vuderuCallQueue.shift());
            return 'OK';
        }
    };
    return bridge;
}
