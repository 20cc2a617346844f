// Writes the page fuzzer's seed corpus: small pages with scripts, frames, links and styles.
#include "platform/foundation/fuzz/FuzzSeeds.h"

#include <string>

using fuzz_seeds::save;

int main(int argc, char** argv) {
    auto folders = fuzz_seeds::folders(argc, argv, 1, "PAGE_FOLDER");
    if (!folders) return 2;
    const std::string& folder = folders->front();
    bool ok = save(folder, "plain.html", "<html><head><title>t</title></head><body><p>Hello &amp; welcome</p></body></html>") &&
              save(folder, "script.html",
                   "<body style='background-color:#123456'><div id='a' style='position:absolute;left:0px;top:0px;width:50px;height:50px'>"
                   "</div><script>var d = document.getElementById('a'); d.addEventListener('click', function (e) {"
                   " e.target.innerHTML = '<b>' + e.target.id + '</b>'; }); window.onload = function () {"
                   " setTimeout(function () { console.log(document.body.innerHTML); }, 0); };</script></body>") &&
              save(folder, "frames.html",
                   "<body><a href='/next'>next</a><script>var f = document.createElement('iframe');"
                   " f.src = 'vuderu://vuderucall?event=x&v=%u00e9'; document.documentElement.appendChild(f);"
                   " document.documentElement.removeChild(f); location.href = 'about:blank';</script></body>") &&
              save(folder, "written-frames.html",
                   "<body><iframe src='about:blank'></iframe><div><IFRAME SRC='frame.html'></IFRAME></div>"
                   "<iframe src='vuderu://vuderucall?event=y'></iframe><iframe></iframe></body>") &&
              save(folder, "events.html",
                   "<body onload=\"document.title = event.type\" onhashchange='console.log(location.hash)'>"
                   "<div style='position:absolute;left:0px;top:0px;width:50px;height:50px' ontouchstart='this.x = 1'"
                   " onclick=\"console.log(this.x, id); location.hash = 'top'\"><a href='#a' onclick='return false'>a</a></div>"
                   "<a href=\"javascript:console.log('%41')\">js</a><img src='i.png' onload='this.alt = 1'>"
                   "<script>setInterval(function () { document.body.setAttribute('onclick', 'if ('); }, 0);</script></body>") &&
              save(folder, "tag.html",
                   "<div class='ad' data-id='1'><script>document.write('<a href=\"http://c.example/\"><img src=\"b.gif\"></a>');"
                   "document.querySelector('div.ad > a img').classList.add('x'); var s = document.createElement('script');"
                   "s.text = 'document.body.dataset.ok = top === window'; document.head.appendChild(s);"
                   "document.addEventListener('DOMContentLoaded', function () { document.write('<p>late</p>'); });</script></div>") &&
              save(folder, "attributes.html",
                   "<html lang=en><body class=a><body id=b><b title='x>y' a b c><i d=1 e='2' f=\"3\"><font color=red>x</b>"
                   "<a href='#' data-x data-y>y<a/b/c><script>window.open('/popup'); setTimeout(function () {"
                   " document.body.innerHTML = '<u a b c>' + document.body.innerHTML; window.onload = null; }, 0);"
                   "requestAnimationFrame(function () {}); frames[0] && frames[0].location.href;</script><iframe></iframe></body></html>") &&
              save(folder, "broken.html", std::string("<div><p>\xC3\x28<script>var x = '\0'; <!-- ", 36));
    return ok ? 0 : 1;
}
