#!/usr/bin/env python3
"""Writes the four page templates (assets/MSTemp*.dll): one page, with a video section in the video variants."""
import os
head = '''<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="robots" content="noindex, nofollow">
<meta name="referrer" content="no-referrer">
<title>A Parlivo message for you</title>
<link rel="icon" href="data:,">
<meta property="og:title" content="A Parlivo message for you">
<meta property="og:type" content="website">
<meta property="og:description" content="MYTEXTMESSAGE">
%(videometa)s<meta property="og:image" content="MY_PAGE_BASE/MY_IMAGE.gif">
<meta property="og:audio" content="MY_PAGE_BASE/intro.mp3">
<meta property="og:audio:type" content="audio/mpeg">
<style>
*{box-sizing:border-box}
html{background:#f3efe6;color:#2b2a33;font:1.05rem/1.55 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif}
body{margin:0;padding:1.2rem .8rem 2rem;min-height:100vh;background:linear-gradient(160deg,#fdf6e9 0%,#e9f1f7 100%)}
main{max-width:40rem;margin:0 auto;background:#fff;border-radius:1.1rem;box-shadow:0 .4rem 1.6rem rgba(40,40,70,.13);padding:1.4rem 1.3rem 1.6rem;text-align:center}
h1{margin:.1rem 0 1rem;font-size:1.55rem;color:#28466d}
h2{margin:0 0 .5rem;font-size:1.05rem;color:#28466d}
img.pic{display:block;max-width:100%;height:auto;margin:0 auto 1.2rem;border-radius:.8rem}
section{margin:1.1rem 0;padding:1rem;border-radius:.8rem;background:#f4f7fb}
audio,video{width:100%;max-width:100%}
video{border-radius:.6rem;background:#000}
.text{font-size:1.15rem;margin:1.2rem .3rem;white-space:pre-wrap;overflow-wrap:anywhere}
.link a{overflow-wrap:anywhere}
.caption{min-height:1.6em;margin:.6rem 0 0;font-size:1.2rem;font-weight:600;color:#28466d}
details{margin-top:.6rem;text-align:left}summary{cursor:pointer;color:#1f5fa8;text-align:center}
a{color:#1f5fa8}
a:focus-visible,button:focus-visible{outline:3px solid #e08a00;outline-offset:2px}
button{font:inherit;color:#fff;background:#28466d;border:0;border-radius:2rem;padding:.55rem 1.2rem;cursor:pointer}
button:hover{background:#1f3656}
.note{font-size:.9rem;color:#555}
footer{text-align:center;font-size:.85rem;color:#6a6878;margin-top:1.2rem}
[hidden]{display:none!important}
@media (max-width:30rem){h1{font-size:1.3rem}main{padding:1rem .8rem 1.2rem}}
</style>
</head>
<body>
<main>
<h1>You have a message</h1>
<img class="pic" src="MY_IMAGE.gif" alt="The picture sent with this message">
<section id="voice" aria-labelledby="voice-h">
<h2 id="voice-h">Listen to the message</h2>
<audio id="message" controls preload="none" src="intro.mp3">Your browser cannot play this sound: <a href="intro.mp3">download the message</a>.</audio>
<div id="words" data-captions="MY_CAPTIONS.vtt">
<p class="caption" id="caption"></p>
<details><summary>Read the message</summary><p class="text" id="transcript">MYTRANSCRIPT</p></details>
</div>
</section>
'''
video = '''<section id="film" aria-labelledby="film-h">
<h2 id="film-h">%(title)s</h2>
<video id="clip" controls preload="metadata" playsinline
 poster="MY_POSTER.jpg"
>
<source src="MY_WEB_VIDEO.mp4" type="video/mp4">
<source src="MY_VIDEO.swf">
Your browser cannot show this video here.</video>
<p class="note" id="clipnote" hidden>%(cannot)s</p>
<p><a href="MY_VIDEO.swf" download>Download the original video</a></p>
</section>
'''
tail = '''<p class="text" id="text">MYTEXTMESSAGE</p>
<p class="link"><a id="link" href="https://parlivo.example.org/" rel="noreferrer noopener">https://parlivo.example.org/</a></p>
<div id="bg">
<audio id="backsound" preload="none" src="my_wave.wav"></audio>
<button type="button" id="bgplay" aria-pressed="false">Play background sound</button>
</div>
</main>
<footer>Made with Parlivo</footer>
<script>
(function () {
  var d = document;
  function left(el, name) { return el && el.getAttribute("src") === name; }
  var m = d.getElementById("message");
  if (left(m, "intro" + ".mp3")) d.getElementById("voice").hidden = true;
  else m.preload = "metadata";
  var t = d.getElementById("text");
  if (!t.textContent.trim()) t.hidden = true;
  var a = d.getElementById("link");
  if (a.getAttribute("href") === "https://parlivo" + ".example.org/") a.parentNode.hidden = true;
  var c = d.getElementById("clip");
  function unplayable() {
    c.hidden = true;
    d.getElementById("clipnote").hidden = false;
  }
  if (c) {
    // With sources the element itself reports no error: the last source failing means
    // the browser plays none of them.
    var s = c.getElementsByTagName("source");
    s[s.length - 1].addEventListener("error", unplayable);
    // While the page is still being read the element has not chosen a source yet and
    // counts as having none: judge that only once the page has loaded.
    window.addEventListener("load", function () {
      if (c.networkState === 3 && c.readyState === 0) unplayable();
    });
  }
  var b = d.getElementById("backsound"), k = d.getElementById("bgplay");
  if (left(b, "my_wave" + ".wav")) { d.getElementById("bg").hidden = true; return; }
  function shown(on) {
    k.textContent = on ? "Pause background sound" : "Play background sound";
    k.setAttribute("aria-pressed", on ? "true" : "false");
  }
  k.addEventListener("click", function () { if (b.paused) b.play(); else b.pause(); });
  b.addEventListener("play", function () { shown(true); });
  b.addEventListener("pause", function () { shown(false); });
  b.addEventListener("ended", function () { shown(false); });
  b.addEventListener("error", function () { d.getElementById("bg").hidden = true; });
  b.preload = "auto";
  var p = b.play();
  if (p && p.catch) p.catch(function () { shown(false); });
})();
</script>
<script>
(function () {
  // An audio element shows no captions itself: its track drives the line under the player.
  var d = document, w = d.getElementById("words"), m = d.getElementById("message");
  var src = w.getAttribute("data-captions");
  if (src === "MY_CAPTIONS" + ".vtt") { w.hidden = true; return; }
  var line = d.getElementById("caption"), el = d.createElement("track");
  el.kind = "captions";
  el.label = "Captions";
  el.src = src;
  m.appendChild(el);
  var t = el.track;
  t.mode = "hidden";
  t.addEventListener("cuechange", function () {
    // At the instant one phrase hands over to the next both count as active: show the
    // newer one only, so the line never doubles up.
    var shown = null;
    for (var i = 0; t.activeCues && i < t.activeCues.length; i++)
      if (!shown || t.activeCues[i].startTime >= shown.startTime) shown = t.activeCues[i];
    line.textContent = "";
    if (shown) line.appendChild(shown.getCueAsHTML());
  });
  el.addEventListener("error", function () { line.hidden = true; });
})();
</script>
</body>
</html>
'''
# The converted copy and its poster lead the link preview; a line naming one that was
# not made is left out of the page when it is written.
videometa = '''<meta property="og:video" content="MY_PAGE_BASE/MY_WEB_VIDEO.mp4"><meta property="og:video:type" content="video/mp4">
<meta property="og:image" content="MY_PAGE_BASE/MY_POSTER.jpg">
'''
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..') + os.sep
variants = {
 'MSTemp.dll': None,
 'MSTemp32.dll': {'title': 'Watch the Flash video', 'cannot': 'Browsers no longer play Flash videos: download it and open it with a video player.'},
 'MSTempWMV.dll': {'title': 'Watch the video', 'cannot': 'Your browser cannot play this kind of video: download it and open it with a video player.'},
 'MSTempMOV.dll': {'title': 'Watch the QuickTime movie', 'cannot': 'Your browser cannot play this movie: download it and open it with a video player.'},
}
for name, v in variants.items():
    meta = videometa if v else ''
    s = head.replace('%(videometa)s', meta) + (video % v if v else '') + tail
    open(out + name, 'w', newline='\n').write(s)
    print(name, len(s.encode()))
