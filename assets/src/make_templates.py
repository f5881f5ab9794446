#!/usr/bin/env python3
"""Writes the four page templates (assets/MSTemp*.dll): one page, with a video section in the video variants.

Every element a message may lack sits on lines of its own that name its placeholder: the
page generator leaves those lines out when the element is absent, so the page is right
without scripts (they only enhance it)."""
import os
head = '''<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="robots" content="noindex, nofollow">
<meta name="referrer" content="no-referrer">
<meta name="color-scheme" content="light dark">
<title>A Parlivo message for you</title>
<meta name="description" content="MY_DESCRIPTION">
<link rel="icon" href="data:,">
<meta property="og:type" content="website">
<meta property="og:url" content="MY_PAGE_BASE/MY_PAGE.htm">
<meta property="og:title" content="A Parlivo message for you">
<meta property="og:description" content="MY_DESCRIPTION">
%(videometa)s<meta property="og:image" content="MY_PAGE_BASE/MY_IMAGE.gif"><meta property="og:image:type" content="MY_IMAGE_TYPE"><meta property="og:image:width" content="MY_IMAGE_WIDTH"><meta property="og:image:height" content="MY_IMAGE_HEIGHT"><meta property="og:image:alt" content="The picture sent with this message">
<meta property="og:audio" content="MY_PAGE_BASE/intro.mp3"><meta property="og:audio:type" content="audio/mpeg">
<meta name="twitter:card" content="summary_large_image">
<meta name="twitter:title" content="A Parlivo message for you">
<meta name="twitter:description" content="MY_DESCRIPTION">
<meta name="twitter:image" content="MY_PAGE_BASE/MY_IMAGE.gif"><meta name="twitter:image:alt" content="The picture sent with this message">
<noscript><style>.needs-script{display:none!important}</style></noscript>
<style>
*{box-sizing:border-box}
html{background:#f3efe6;color:#2b2a33;font:1.05rem/1.55 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif}
body{margin:0;padding:1.2rem .8rem 2rem;min-height:100vh;background:linear-gradient(160deg,#fdf6e9 0%%,#e9f1f7 100%%)}
main{max-width:40rem;margin:0 auto;background:#fff;border-radius:1.1rem;box-shadow:0 .4rem 1.6rem rgba(40,40,70,.13);padding:1.4rem 1.3rem 1.6rem;text-align:center}
h1{margin:.1rem 0 1rem;font-size:1.55rem;color:#28466d}
h2{margin:0 0 .5rem;font-size:1.05rem;color:#28466d}
img.pic{display:block;max-width:100%%;height:auto;margin:0 auto 1.2rem;border-radius:.8rem}
img.pic{max-width:min(100%%,75vh*MY_IMAGE_WIDTH/MY_IMAGE_HEIGHT)}
section,.words{margin:1.1rem 0;padding:1rem;border-radius:.8rem;background:#f4f7fb}
#voice+.words{margin-top:-1.1rem;padding-top:0;border-radius:0 0 .8rem .8rem}
#voice:has(+.words){border-radius:.8rem .8rem 0 0}
audio,video{width:100%%;max-width:100%%}
video{height:auto;border-radius:.6rem;background:#000}
.text{font-size:1.15rem;margin:1.2rem .3rem;white-space:pre-wrap;overflow-wrap:anywhere}
.link a{overflow-wrap:anywhere}
.caption{min-height:1.6em;margin:0;font-size:1.2rem;font-weight:600;color:#28466d}
details{margin-top:.6rem;text-align:left}summary{cursor:pointer;color:#1f5fa8;text-align:center}
a{color:#1f5fa8}
a:focus-visible,button:focus-visible,summary:focus-visible{outline:3px solid #e08a00;outline-offset:2px}
.bg{margin:1.1rem 0}
button{font:inherit;color:#fff;background:#28466d;border:0;border-radius:2rem;padding:.55rem 1.2rem;cursor:pointer}
button:hover{background:#1f3656}
.state::before{content:"\\25B6\\FE0E  "}
[aria-pressed=true] .state::before{content:"\\275A\\275A  "}
.note{font-size:.9rem;color:#555}
footer{text-align:center;font-size:.85rem;color:#6a6878;margin-top:1.2rem}
[hidden]{display:none!important}
@media (max-width:30rem){h1{font-size:1.3rem}main{padding:1rem .8rem 1.2rem}}
@media (prefers-color-scheme:dark){
html{background:#15161b;color:#e9e7e3}
body{background:linear-gradient(160deg,#1d1b22 0%%,#141a22 100%%)}
main{background:#22252d;box-shadow:0 .4rem 1.6rem rgba(0,0,0,.45)}
h1,h2,.caption{color:#a9cbf5}
section,.words{background:#2c3039}
a,summary{color:#94bff7}
button{color:#10213a;background:#a9cbf5}
button:hover{background:#c6dcf8}
.note{color:#c9c7c2}
footer{color:#aaa8b4}
}
</style>
</head>
<body>
<main>
<h1>You have a message</h1>
<img class="pic" src="MY_IMAGE.gif" width="MY_IMAGE_WIDTH" height="MY_IMAGE_HEIGHT" alt="The picture sent with this message">
<section id="voice" aria-labelledby="voice-h"><h2 id="voice-h">Listen to the message</h2><audio id="message" controls preload="metadata" src="intro.mp3">Your browser cannot play this sound: <a href="intro.mp3">download the message</a>.</audio></section>
<div class="words" id="words" data-captions="MY_CAPTIONS.vtt"><p class="caption needs-script" id="caption"></p><details><summary>Read the message</summary><p class="text" id="transcript">MYTRANSCRIPT</p></details></div>
'''
video = '''<section id="film" aria-labelledby="film-h">
<h2 id="film-h">%(title)s</h2>
<video id="clip" controls preload="metadata" playsinline
 poster="MY_POSTER.jpg" width="MY_POSTER_WIDTH" height="MY_POSTER_HEIGHT"
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
<div class="bg" id="bg" data-sound="my_wave.wav"><noscript><p class="note">Background sound</p></noscript><audio id="backsound" controls preload="none" aria-label="Background sound">
<source src="MY_WEB_WAVE.mp3" type="audio/mpeg">
<source src="my_wave.wav" type="audio/wav"></audio><button type="button" id="bgplay" class="needs-script" aria-pressed="false"><span class="state" aria-hidden="true"></span>Background sound</button></div>
</main>
<footer>Made with Parlivo</footer>
<script>
(function () {
  var d = document, c = d.getElementById("clip");
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
  if (!b) return;
  // The button stands in for the player; nothing is fetched before it is pressed (browsers
  // would refuse to start a sound on their own anyway). Its name stays; its state is pressed.
  b.controls = false;
  function shown(on) { k.setAttribute("aria-pressed", on ? "true" : "false"); }
  k.addEventListener("click", function () {
    if (!b.paused) { b.pause(); return; }
    var p = b.play();
    if (p && p.catch) p.catch(function () { shown(false); });
  });
  b.addEventListener("play", function () { shown(true); });
  b.addEventListener("pause", function () { shown(false); });
  b.addEventListener("ended", function () { shown(false); });
  var t = b.getElementsByTagName("source");
  t[t.length - 1].addEventListener("error", function () { d.getElementById("bg").hidden = true; });
})();
</script>
<script>
(function () {
  // An audio element shows no captions itself: its track drives the line under the player.
  var d = document, w = d.getElementById("words"), m = d.getElementById("message");
  if (!w || !m) return;
  var line = d.getElementById("caption"), el = d.createElement("track");
  el.kind = "captions";
  el.label = "Captions";
  el.src = w.getAttribute("data-captions");
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
<meta property="og:image" content="MY_PAGE_BASE/MY_POSTER.jpg"><meta property="og:image:type" content="image/jpeg"><meta property="og:image:width" content="MY_POSTER_WIDTH"><meta property="og:image:height" content="MY_POSTER_HEIGHT"><meta property="og:image:alt" content="A picture from the video sent with this message">
'''
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..') + os.sep
variants = {
 'MSTemp.dll': None,
 'MSTemp32.dll': {'title': 'Watch the Flash video', 'cannot': 'Browsers no longer play Flash videos: download it and open it with a video player.'},
 'MSTempWMV.dll': {'title': 'Watch the video', 'cannot': 'Your browser cannot play this kind of video: download it and open it with a video player.'},
 'MSTempMOV.dll': {'title': 'Watch the QuickTime movie', 'cannot': 'Your browser cannot play this movie: download it and open it with a video player.'},
}
for name, v in variants.items():
    s = (head % {'videometa': videometa if v else ''}) + (video % v if v else '') + tail
    open(out + name, 'w', newline='\n').write(s)
    print(name, len(s.encode()))
