// Drives Debian's chromium through examples/asp served by aspserve.exe: uploads a large file, three
// more through the form's `multiple` input and text fields while the browser's network emulation
// throttles the upload, watches the progress bar, checks the result page and every stored file;
// then a second upload cancelled at about half, a third with more files than upload.asp allows,
// which the page and the progress show as rejected, a fourth cancelled before upload.asp has
// registered it, and answers the form must show as refusals (IIS's 413 and 404.13, a network error).
//
//   node upload_test.mjs BASE_URL FILE SITE_DIR SCREENSHOT
//
// Prints "ok ..." / "FAIL ..." lines and exits 1 when a check failed.
import { chromium } from "playwright-core";
import { createHash } from "node:crypto";
import { createReadStream, existsSync, mkdtempSync, readdirSync, rmSync, statSync, writeFileSync } from "node:fs";
import { randomBytes } from "node:crypto";
import { tmpdir } from "node:os";
import { basename, dirname, join } from "node:path";

const [baseUrl, file, siteDir, screenshot] = process.argv.slice(2);
const fileName = basename(file);
const fileSize = statSync(file).size;
const savedDir = join(siteDir, "data", "saved");
const tempDir = join(siteDir, "data", "temp");
// Text beyond U+FFFF (surrogate pairs), markup characters, a quote and a line break.
const fields = { title: "Grüße 😀 𝄞 done", author: "O'Brien & <Co> \"quoted\"", notes: "line one\nline two" };
// Three small files chosen together in the form's "More files" input (one field name, `multiple`).
const moreFiles = [["more-one.txt", "the first of several files\n"], ["more-two.csv", "a,b\n1,2\n"],
  ["more-three.bin", randomBytes(5000)]].map(([name, content]) => {
  const path = join(dirname(file), name);
  writeFileSync(path, content);
  return path;
});
// Bytes per second the browser may send: the upload lasts about 9 s.
const uploadThroughput = Math.round(fileSize / 9);

let failures = 0;
function check(name, condition, detail = "") {
  if (condition) console.log("ok    " + name);
  else { ++failures; console.log("FAIL  " + name + (detail ? ": " + detail : "")); }
}

function sha256(path) {
  return new Promise((resolve, reject) => {
    const hash = createHash("sha256");
    createReadStream(path).on("data", (d) => hash.update(d)).on("end", () => resolve(hash.digest("hex"))).on("error", reject);
  });
}

const filesIn = (dir) => (existsSync(dir) ? readdirSync(dir) : []);
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function openForm(context) {
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await cdp.send("Network.enable");
  await cdp.send("Network.emulateNetworkConditions", {
    offline: false, latency: 0, downloadThroughput: -1, uploadThroughput,
  });
  await page.goto(baseUrl + "/index.asp");
  await page.setInputFiles("#file1", file);
  await page.fill("#title", fields.title);
  await page.fill("#author", fields.author);
  await page.fill("#notes", fields.notes);
  return page;
}

// What the progress section shows now.
const readProgress = (page) => page.evaluate(() => ({
  percent: Number(document.getElementById("percent").textContent),
  speed: document.getElementById("speed-average").textContent,
  left: document.getElementById("time-left").textContent,
  current: document.getElementById("current-file").textContent,
  status: document.getElementById("status-text").textContent,
  done: document.getElementById("result").children.length > 0,
}));

async function completeRun(context) {
  const page = await openForm(context);
  await page.setInputFiles("#more", moreFiles);
  const started = Date.now();
  await page.click("#send");
  const percents = [];
  let speedSeen = false, leftSeen = false, nameSeen = false, shot = false;
  for (let i = 0; i < 1200; ++i) { // at most 2 minutes
    const p = await readProgress(page);
    if (p.done) break;
    if (percents.length === 0 || percents[percents.length - 1] !== p.percent) percents.push(p.percent);
    speedSeen ||= /\/s$/.test(p.speed);
    leftSeen ||= /min .* s$/.test(p.left);
    nameSeen ||= p.current === fileName;
    if (!shot && p.percent >= 30 && p.percent <= 70) {
      await page.screenshot({ path: screenshot, fullPage: true });
      shot = true;
    }
    await sleep(100);
  }
  await page.waitForSelector("#upload-result", { timeout: 120000 });
  const seconds = (Date.now() - started) / 1000;
  const increasing = percents.filter((v) => v > 0).every((v, i, a) => i === 0 || v > a[i - 1]);
  check(`the upload took at least 5 s (${seconds.toFixed(1)} s)`, seconds >= 5);
  check(`the bar showed at least 5 distinct increasing percentages (${percents.join(" ")})`,
    new Set(percents.filter((v) => v > 0)).size >= 5 && increasing);
  check("a speed was shown", speedSeen);
  check("a time left was shown", leftSeen);
  check("the current file name was shown", nameSeen);
  check("a screenshot was taken mid-upload", shot && existsSync(screenshot));

  const result = await page.evaluate(() => {
    const rows = [...document.querySelectorAll("#upload-result tr.file")].map((row) => ({
      field: row.querySelector(".field").textContent, name: row.querySelector(".name").textContent,
      stored: row.querySelector(".stored").textContent, size: row.querySelector(".size").textContent }));
    const values = {};
    for (const r of document.querySelectorAll("#upload-result tr.text-field"))
      values[r.querySelector(".field").textContent] = r.querySelector(".value").textContent;
    return { rows, values };
  });
  const main = result.rows.find((row) => row.name === fileName);
  const listed = main ? { ...main, values: result.values } : null;
  check("the result lists the file with its exact size",
    listed && listed.size === String(fileSize), JSON.stringify(result.rows));
  check(`the result lists every file of the multiple input (${moreFiles.length})`,
    result.rows.filter((row) => row.field === "more").length === moreFiles.length, JSON.stringify(result.rows));
  for (const path of moreFiles) {
    const row = result.rows.find((r) => r.field === "more" && r.name === basename(path));
    const stored = row ? join(savedDir, row.stored) : "";
    check(`${basename(path)} arrived with its exact size and its SHA-256`,
      row && row.size === String(statSync(path).size) && existsSync(stored) &&
      (await sha256(stored)) === (await sha256(path)), JSON.stringify(row));
  }
  for (const [name, value] of Object.entries(fields)) {
    // Browsers send a textarea's line breaks as CRLF.
    const shown = listed ? (listed.values[name] ?? "").replace(/\r\n/g, "\n") : undefined;
    check(`the result lists the field ${name} with its exact value`, shown === value, JSON.stringify(shown));
  }
  const stored = join(savedDir, listed ? listed.stored : fileName);
  check("the stored file's SHA-256 equals the original's",
    existsSync(stored) && (await sha256(stored)) === (await sha256(file)));
  await page.close();
}

// 21 files through the multiple input, over the sample's MaxFiles (20).
async function rejectRun(context) {
  const savedBefore = filesIn(savedDir).length;
  const many = Array.from({ length: 21 }, (_, i) => {
    const path = join(dirname(file), `many-${i}.txt`);
    writeFileSync(path, `file ${i}\n`);
    return path;
  });
  const page = await context.newPage();
  await page.goto(baseUrl + "/index.asp");
  await page.setInputFiles("#more", many);
  await page.click("#send");
  await page.waitForSelector("#upload-result", { timeout: 60000 });
  const status = (await readProgress(page)).status;
  check("a request over MaxFiles shows \"Upload rejected\" with the limit", status.startsWith(
    "Upload rejected: Save: the request is rejected: it holds more than MaxFiles (20) files"), status);
  const error = await page.evaluate(() => document.getElementById("save-error")?.textContent ?? "");
  check("the result page gives the error and its description",
    error.startsWith("The upload failed (error 80040203): Save: the request is rejected"), error);
  check("nothing of the rejected request was stored", filesIn(savedDir).length === savedBefore);
  check("no temporary file stays after the rejection", filesIn(tempDir).length === 0, filesIn(tempDir).join(", "));
  for (const path of many) rmSync(path, { force: true });
  await page.close();
}

// Counts the page's requests to progress.asp and how many were open at once; each answer is held
// back longer than the form's 500 ms between polls, so that a form that asked on a clock rather
// than after each answer would have two open.
async function watchPolls(page) {
  const polls = { sent: 0, open: 0, mostOpen: 0 };
  await page.route("**/progress.asp*", async (route) => {
    ++polls.sent;
    polls.mostOpen = Math.max(polls.mostOpen, ++polls.open);
    await sleep(700);
    try { await route.continue(); } finally { --polls.open; }
  });
  return polls;
}

async function cancelRun(context) {
  const savedBefore = filesIn(savedDir).length;
  const page = await openForm(context);
  const polls = await watchPolls(page);
  await page.click("#send");
  let cancelledAt = -1;
  for (let i = 0; i < 1200; ++i) {
    const p = await readProgress(page);
    if (p.percent >= 45) { cancelledAt = p.percent; await page.click("#cancel"); break; }
    if (p.done) break;
    await sleep(100);
  }
  check(`the cancel button was pressed at about half (${cancelledAt} %)`, cancelledAt >= 45 && cancelledAt < 90);
  let status = "";
  for (let i = 0; i < 300 && status !== "Upload cancelled due to a user request"; ++i) {
    status = (await readProgress(page)).status;
    await sleep(100);
  }
  check("the page shows \"Upload cancelled due to a user request\"", status === "Upload cancelled due to a user request", status);
  // The upload page releases its objects (and their temporary files) when it ends.
  let temps = filesIn(tempDir);
  for (let i = 0; i < 100 && temps.length > 0; ++i) { await sleep(100); temps = filesIn(tempDir); }
  check("no file was stored", filesIn(savedDir).length === savedBefore, filesIn(savedDir).join(", "));
  check("no temporary file stays", temps.length === 0, temps.join(", "));
  check(`progress.asp was asked one question at a time (at most ${polls.mostOpen} open)`,
    polls.sent > 3 && polls.mostOpen === 1, JSON.stringify(polls));
  // The form is ready again once the upload's request has ended (answered, or cut by the server).
  await page.waitForFunction(() => !document.getElementById("send").disabled, null, { timeout: 60000 });
  const sentAtEnd = polls.sent;
  await sleep(2000);
  check("polling stops once the upload has ended", polls.sent === sentAtEnd, `${sentAtEnd} then ${polls.sent}`);
  await page.close();
}

// Cancel pressed at once, while the upload's request is held back: cancel.asp does not know the ID
// yet and the form asks again until it takes, then the button stays disabled.
async function earlyCancelRun(context) {
  // 8 MiB at 1 MiB/s: the upload runs long enough for the retried cancel to find it.
  const medium = join(dirname(file), "medium.bin");
  writeFileSync(medium, randomBytes(8 << 20));
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await cdp.send("Network.enable");
  await cdp.send("Network.emulateNetworkConditions", {
    offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: 1 << 20,
  });
  await page.goto(baseUrl + "/index.asp");
  await page.setInputFiles("#file1", medium);
  await page.route("**/upload.asp*", async (route) => { await sleep(2500); await route.continue(); });
  let cancels = 0;
  page.on("request", (request) => { if (request.url().includes("cancel.asp")) ++cancels; });
  await page.click("#send");
  await page.click("#cancel");
  let status = "";
  for (let i = 0; i < 600 && status !== "Upload cancelled due to a user request"; ++i) {
    status = (await readProgress(page)).status;
    await sleep(100);
  }
  check("a cancel pressed before the upload was registered takes once it is",
    status === "Upload cancelled due to a user request", status);
  check(`the form asked cancel.asp again until it took (${cancels} times)`, cancels >= 2);
  check("the cancel button is disabled once the cancel took", await page.isDisabled("#cancel"));
  await page.close();
  rmSync(medium, { force: true });
}

// Answers the form's post with `respond` instead of the server, and returns the status text shown.
async function refusedStatus(context, respond) {
  const page = await context.newPage();
  await page.goto(baseUrl + "/index.asp");
  await page.fill("#title", "refused");
  await page.route("**/upload.asp*", respond);
  await page.click("#send");
  let status = "";
  for (let i = 0; i < 100 && !status.startsWith("The "); ++i) {
    status = (await readProgress(page)).status;
    await sleep(100);
  }
  const resultHtml = await page.evaluate(() => document.getElementById("result").innerHTML);
  await page.close();
  return { status, resultHtml };
}

async function refusalRuns(context) {
  const tooLarge = await refusedStatus(context,
    (route) => route.fulfill({ status: 413, contentType: "text/html", body: "<h1>Request Entity Too Large</h1>" }));
  check("IIS's 413 is shown as a refusal, not as a result",
    tooLarge.status === "The server refused the upload: it is larger than the server accepts (HTTP 413)." &&
    tooLarge.resultHtml === "", JSON.stringify(tooLarge));
  const filtered = await refusedStatus(context,
    (route) => route.fulfill({ status: 404, contentType: "text/html", body: "<h1>404.13 Not Found</h1>" }));
  check("IIS's 404.13 is shown as a refusal", filtered.status.startsWith("The server refused the upload (HTTP 404;") &&
    filtered.resultHtml === "", JSON.stringify(filtered));
  const lost = await refusedStatus(context, (route) => route.abort("connectionreset"));
  check("a network error is shown as one",
    lost.status.startsWith("The upload did not reach the server") && lost.resultHtml === "", JSON.stringify(lost));
}

const profile = mkdtempSync(join(tmpdir(), "kestrune-chromium-"));
// A fresh profile (Playwright passes it to chromium as --user-data-dir).
const context = await chromium.launchPersistentContext(profile, {
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
try {
  await completeRun(context);
  await cancelRun(context);
  await rejectRun(context);
  await earlyCancelRun(context);
  await refusalRuns(context);
} catch (e) {
  ++failures;
  console.log("FAIL  the browser run: " + e.message);
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
  for (const path of moreFiles) rmSync(path, { force: true });
}
check("the browser profile is removed", !existsSync(profile));
process.exit(failures === 0 ? 0 : 1);
