#pragma once
// The ad host's `page URL|PATH` command: a page loaded through the web view loader for an ad
// that records what the loader asks of it, in a web view over the container. The page is an ad
// not yet rendered, so its links are followed in place; its page calls, the loader's completion
// and its failures are listed on the screen. A URL is fetched (http or https); a PATH is a file
// of this machine, loaded as HTML. A new page replaces the previous one. A last word of digits
// is the page's ad unit's pre-render time-out in milliseconds (none without it): a load that has
// not ended by then is stopped, as the ad-space view's loader stops it.

namespace AdHostPage {

// Registers `page` with the driver.
void registerCommand();

} // namespace AdHostPage
