<%@ Language="VBScript" CodePage=65001 %>
<%
' The upload form. Its script makes an unguessable upload ID, posts the form to upload.asp?id=ID
' and asks progress.asp?id=ID every 500 ms how far the upload is, one question at a time, until
' the upload has ended; Cancel calls cancel.asp?id=ID until it takes. A refusal by the server
' (IIS's 413 or 404.13 for a request over its limits) or a network error is shown as such.
Option Explicit
Response.ContentType = "text/html"
Response.Charset = "utf-8"
%><!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Kestrune upload</title>
<link rel="stylesheet" href="site.css">
</head>
<body>
<h1>Upload files</h1>
<form id="upload-form" method="post" enctype="multipart/form-data" action="upload.asp">
  <fieldset>
    <legend>Files</legend>
    <label>Main file <input type="file" name="file1" id="file1"></label>
    <label>More files <input type="file" name="more" id="more" multiple></label>
    <label>One more <input type="file" name="file3" id="file3"></label>
  </fieldset>
  <fieldset>
    <legend>About them</legend>
    <label>Title <input type="text" name="title" id="title"></label>
    <label>Author <input type="text" name="author" id="author"></label>
    <label>Notes <textarea name="notes" id="notes" rows="4" cols="50"></textarea></label>
  </fieldset>
  <button type="submit" id="send">Upload</button>
  <button type="button" id="cancel" disabled>Cancel</button>
</form>

<section id="progress" hidden>
  <h2>Progress</h2>
  <div id="bar"><div id="bar-fill"></div></div>
  <dl id="figures">
    <dt>Done</dt><dd><span id="percent">0</span> %</dd>
    <dt>Received</dt><dd><span id="bytes">0</span> of <span id="total">0</span></dd>
    <dt>Average speed</dt><dd id="speed-average">–</dd>
    <dt>Current speed</dt><dd id="speed-current">–</dd>
    <dt>Time left</dt><dd id="time-left">–</dd>
    <dt>Current file</dt><dd id="current-file">–</dd>
    <dt>Files done</dt><dd id="files-done">0</dd>
    <dt>Status</dt><dd id="status-text">–</dd>
  </dl>
</section>

<section id="result"></section>

<script>
"use strict";
(function () {
  const form = document.getElementById("upload-form");
  const cancelButton = document.getElementById("cancel");
  const sendButton = document.getElementById("send");
  const $ = (id) => document.getElementById(id);

  // 128 random bits: the ID is the only key to this upload's progress, so nobody may guess it.
  function newUploadId() {
    const bytes = new Uint8Array(16);
    crypto.getRandomValues(bytes);
    return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
  }

  function sizeText(bytes) {
    const units = ["bytes", "KiB", "MiB", "GiB"];
    let value = bytes, unit = 0;
    while (value >= 1024 && unit < units.length - 1) { value /= 1024; ++unit; }
    return (unit === 0 ? value : value.toFixed(1)) + " " + units[unit];
  }

  function timeText(seconds) {
    if (!(seconds > 0)) return "–";
    const s = Math.round(seconds);
    return Math.floor(s / 60) + " min " + (s % 60) + " s";
  }

  function show(p) {
    $("progress").hidden = false;
    const percent = Math.floor(p.percentDone);
    $("bar-fill").style.width = percent + "%";
    $("percent").textContent = percent;
    $("bytes").textContent = sizeText(p.uploadedBytes);
    $("total").textContent = sizeText(p.totalBytes);
    $("speed-average").textContent = p.bytesPerSecondAverage > 0 ? sizeText(p.bytesPerSecondAverage) + "/s" : "–";
    $("speed-current").textContent = p.bytesPerSecondCurrent > 0 ? sizeText(p.bytesPerSecondCurrent) + "/s" : "–";
    $("time-left").textContent = timeText(p.secondsLeftAverage);
    $("current-file").textContent = p.currentFileName || "–";
    $("files-done").textContent = p.uploadedFilesCount;
    // Why an upload was rejected or failed: the limit, the field and the sizes.
    $("status-text").textContent = p.statusText + (p.statusReason && (p.status === 3 || p.status === 5)
      ? ": " + p.statusReason : "");
  }

  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  // Complete, Error, Cancelled, Rejected: nothing changes after these.
  const finalStatus = (status) => status >= 2 && status <= 5;

  // Asks progress.asp once and shows the answer; null when there was none.
  async function poll(id) {
    try {
      const answer = await fetch("progress.asp?id=" + encodeURIComponent(id), { cache: "no-store" });
      if (!answer.ok) return null;
      const p = await answer.json();
      show(p);
      return p;
    } catch (e) {
      return null; // the next poll tries again
    }
  }

  // Polls every 500 ms, one question at a time (the next is asked only after the answer came),
  // until the upload has ended.
  async function follow(upload) {
    while (!upload.ended) {
      await sleep(500);
      if (upload.ended) break;
      const p = await poll(upload.id);
      if (p && finalStatus(p.status)) break;
    }
  }

  // Asks cancel.asp to stop the upload, again every 500 ms until it takes: pressed right after
  // Upload, it may come before upload.asp has registered the ID, which cancel.asp then does not
  // know yet. Gives up once the upload has ended.
  async function cancel(upload) {
    cancelButton.disabled = true;
    cancelButton.textContent = "Cancelling…";
    while (!upload.ended) {
      try {
        const answer = await fetch("cancel.asp?id=" + encodeURIComponent(upload.id), { cache: "no-store" });
        if (answer.ok && (await answer.json()).cancelled === true) break;
      } catch (e) { /* tried again below */ }
      await sleep(500);
    }
    cancelButton.textContent = "Cancel";
  }

  // What the page says when the server answers the upload with an error page of its own.
  function refusalText(request) {
    if (request.status === 413)
      return "The server refused the upload: it is larger than the server accepts (HTTP 413).";
    if (request.status === 404)
      return "The server refused the upload (HTTP 404; IIS answers 404.13 when a request is larger than " +
        "its request filtering allows).";
    return "The server refused the upload (HTTP " + request.status + " " + request.statusText + ").";
  }

  form.addEventListener("submit", (event) => {
    event.preventDefault();
    const upload = { id: newUploadId(), ended: false };
    const request = new XMLHttpRequest();
    request.open("POST", "upload.asp?id=" + encodeURIComponent(upload.id));
    const finish = async (message) => {
      upload.ended = true;
      await poll(upload.id);
      cancelButton.disabled = true;
      sendButton.disabled = false;
      if (message) $("status-text").textContent = message;
    };
    request.onload = async () => {
      if (request.status !== 200) {
        await finish(refusalText(request));
        $("result").innerHTML = "";
        return;
      }
      await finish();
      $("result").innerHTML = request.responseText;
    };
    request.onerror = () => finish("The upload did not reach the server, or its answer did not come back (network error).");
    cancelButton.onclick = () => cancel(upload);
    cancelButton.disabled = false;
    sendButton.disabled = true;
    $("result").innerHTML = "";
    $("status-text").textContent = "–";
    $("progress").hidden = false;
    follow(upload);
    request.send(new FormData(form));
  });
})();
</script>
</body>
</html>
