#pragma once
// What the video player tells the ad-space view that started it, and the few operations of the
// view itself that the player calls. The view is also the event handler of the player's ad events:
// an object handed to the player as its connector must be an IVuderuEventControllerHandler too.

#include <string>

class IVuderuAdVideoPlayerConnector {
public:
    virtual ~IVuderuAdVideoPlayerConnector() = default;

    // The movie ended with a playback error before it began to play.
    virtual void videoDidFailToLoad(const std::string& space) = 0;
    // Played to its end.
    virtual void videoDidFinish(const std::string& space) = 0;
    // Ended early: closed, stopped, or any other reason.
    virtual void videoDidNotFinish(const std::string& space) = 0;
    // The first click-through.
    virtual void processClick() = 0;

    // The ad-space view's own operations. The player marks the view as responding to an action
    // while a click-through's page or store page is up, reads the mark when the app returns to the
    // foreground, and asks for the takeover windows to go when no ad action handled an end or close.
    virtual bool activelyRespondingToAction() const = 0;
    virtual void setActivelyRespondingToAction(bool responding) = 0;
    virtual void removeTakeoverWindows() = 0;
};
