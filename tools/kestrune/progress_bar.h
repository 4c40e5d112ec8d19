// CProgressBar: follows an upload by its ID from a second thread, through a Progress object, the
// way a progress page does, and draws a one-line bar on a terminal (standard error).
//
//   CProgressBar bar(uploadId, stderr);   // starts polling at once
//   upload->Save(tempDir);                 // on this thread
//   bar.Finish();                          // final state, newline, thread joined
//
// Render is the pure part: one snapshot of the figures to one line of text.
#pragma once

#include "com/com_ptr.h"
#include "platform/win.h"

#include "kestrune_idl.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

/// The figures one poll reads.
struct TProgressSnapshot {
    UploadState status = Waiting;
    long uploadedBytes = 0;
    long totalBytes = 0;
    long filesDone = 0;
    double percent = 0.0;
    double bytesPerSecond = 0.0;
    double secondsLeft = 0.0;
    std::string statusText;
};

class CProgressBar {
public:
    /// Starts polling the upload `id` every `period` and drawing on `out`.
    CProgressBar(WideString id, std::FILE* out, std::chrono::milliseconds period = std::chrono::milliseconds(100));
    /// Finish, if not done yet.
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    /// Stops polling, draws the last state and ends the line.
    void Finish() noexcept;

    /// Reads one snapshot through a Progress object; false when the object failed to answer.
    static bool Read(IProgress* progress, TProgressSnapshot& snapshot);
    /// One line: a bar `width` cells wide, percent, bytes, speed, time left, status text.
    static std::string Render(const TProgressSnapshot& snapshot, int width = 30);

private:
    void Poll() noexcept;
    void Draw(const TProgressSnapshot& snapshot) noexcept;

    WideString id_;
    std::FILE* out_;
    std::chrono::milliseconds period_;
    std::atomic<bool> stop_{false};
    TProgressSnapshot last_;
    bool drew_ = false;
    std::thread thread_;
};
