// Loads a published page in the system's headless Chromium and checks what a recipient
// would see: every request succeeds, the picture decodes and the spoken message loads;
// with captions, the line under the player follows the words while the message plays;
// with a video, it becomes ready and plays (muted).
// Usage: node check-page.mjs PAGE_ADDRESS [PAGE_ADDRESS...]
// Prints one JSON line per page; exits 0 when every check passed, 1 otherwise, 2 when it could not run.
import { chromium } from "playwright-core";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const addresses = process.argv.slice(2);
if (!addresses.length) {
  console.error("usage: node check-page.mjs PAGE_ADDRESS [PAGE_ADDRESS...]");
  process.exit(2);
}

const profile = mkdtempSync(join(tmpdir(), "parlivo-chromium-"));
let problems = [];
let context;
let failed = false;
try {
  context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--autoplay-policy=no-user-gesture-required",
    ],
  });
  for (const address of addresses) {
    problems = [];
    const page = await context.newPage();
    const requests = [];
    page.on("request", (r) => requests.push(r.url()));
    page.on("requestfailed", (r) => {
      // A media element that is told to load again cancels its earlier range request.
      if (r.failure()?.errorText !== "net::ERR_ABORTED") problems.push(`request failed: ${r.url()} (${r.failure()?.errorText})`);
    });
    page.on("response", (r) => {
      if (r.status() >= 400) problems.push(`HTTP ${r.status()}: ${r.url()}`);
    });
    page.on("pageerror", (e) => problems.push(`script error: ${e.message}`));

    const response = await page.goto(address, { waitUntil: "load", timeout: 20000 });
    if (!response || !response.ok()) problems.push(`page answered ${response?.status()}`);

    const result = await page.evaluate(async () => {
      const wait = (el, ok, ms) =>
        new Promise((resolve) => {
          const done = (what) => resolve(what);
          el.addEventListener(ok, () => done("ok"), { once: true });
          el.addEventListener("error", () => done("error"), { once: true });
          setTimeout(() => done("timeout"), ms);
        });
      const img = document.querySelector("img.pic");
      if (img && !img.complete) await wait(img, "load", 10000);
      const audio = document.getElementById("message");
      let audioState = "absent";
      if (audio && !document.getElementById("voice").hidden) {
        audio.preload = "auto";
        const loaded = wait(audio, "loadedmetadata", 15000);
        audio.load();
        audioState = await loaded;
      }
      // The caption line, sampled while the message plays muted from its start to its end.
      const words = document.getElementById("words");
      const wordsShown = !!words && !words.hidden && !document.getElementById("voice").hidden;
      const captions = [];
      if (wordsShown && audioState === "ok") {
        const track = audio.querySelector("track");
        const deadline = Date.now() + 5000;
        while (track && track.readyState < 2 && Date.now() < deadline) await new Promise((r) => setTimeout(r, 50));
        const line = document.getElementById("caption");
        audio.muted = true;
        audio.currentTime = 0;
        await audio.play().catch(() => {});
        const end = Date.now() + Math.min(30000, (audio.duration || 10) * 1000 + 2000);
        while (!audio.ended && Date.now() < end) {
          const now = line.textContent;
          if (now && captions[captions.length - 1] !== now) captions.push(now);
          await new Promise((r) => setTimeout(r, 40));
        }
      }
      // The video, muted: it must become ready to play on and then advance.
      const clip = document.getElementById("clip");
      let playing;
      const video = { shown: !!clip && !clip.hidden && !document.getElementById("film").hidden };
      if (video.shown) {
        clip.muted = true;
        playing = clip.play().catch(() => {});
        // A page whose sources all fail hides the player and shows its note instead.
        const ready = Date.now() + 15000;
        while (clip.readyState < 3 && !clip.hidden && Date.now() < ready) await new Promise((r) => setTimeout(r, 50));
        video.shown = !clip.hidden;
      }
      if (video.shown) {
        video.readyState = clip.readyState;
        video.source = clip.currentSrc.split("/").pop();
        await playing;
        const end = Date.now() + 10000;
        while (clip.currentTime < 0.3 && Date.now() < end) await new Promise((r) => setTimeout(r, 50));
        video.advanced = clip.currentTime >= 0.3;
        video.error = clip.error ? clip.error.code : null;
        video.width = clip.videoWidth;
        clip.pause();
      }
      video.noteShown = !!document.getElementById("clipnote") && !document.getElementById("clipnote").hidden;
      return {
        video,
        wordsShown,
        captions,
        transcript: wordsShown ? document.getElementById("transcript").textContent : "",
        title: document.title,
        charset: document.characterSet,
        pictureWidth: img ? img.naturalWidth : 0,
        pictureAlt: img ? img.alt : "",
        audio: audioState,
        audioError: audio && audio.error ? audio.error.code : null,
        audioDuration: audio ? audio.duration : null,
        text: document.getElementById("text")?.textContent ?? "",
        link: document.getElementById("link")?.getAttribute("href") ?? "",
        backgroundHidden: document.getElementById("bg")?.hidden ?? true,
        robots: document.querySelector('meta[name="robots"]')?.content ?? "",
        ogImage: document.querySelector('meta[property="og:image"]')?.content ?? "",
      };
    });
    if (!(result.pictureWidth > 0)) problems.push("the picture did not decode");
    if (!result.pictureAlt) problems.push("the picture has no text alternative");
    if (result.audio !== "ok" || result.audioError !== null) problems.push(`the audio did not load (${result.audio}, error ${result.audioError})`);
    if (result.charset !== "UTF-8") problems.push(`charset ${result.charset}`);
    if (result.video.shown && !(result.video.readyState >= 3 && result.video.advanced))
      problems.push(`the video did not play (${JSON.stringify(result.video)})`);
    if (result.wordsShown && result.captions.length < 2) problems.push(`the caption line did not follow the message (${JSON.stringify(result.captions)})`);
    // Let late requests (background sound, video metadata) finish before judging them.
    await page.waitForTimeout(500);
    console.log(JSON.stringify({ ok: problems.length === 0, problems, requests, ...result }));
    failed ||= problems.length > 0;
    await page.close();
  }
  process.exitCode = failed ? 1 : 0;
} catch (e) {
  console.log(JSON.stringify({ ok: false, problems: [...problems, `could not run: ${e.message}`] }));
  process.exitCode = 2;
} finally {
  if (context) await context.close().catch(() => {});
  rmSync(profile, { recursive: true, force: true });
}
