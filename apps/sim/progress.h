#pragma once
// Progress of a long headless run on standard error: a line every few seconds, only when
// standard error is a terminal (a script that reads it gets the run's own messages alone).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace sim {

class Progress {
 public:
  // `program` begins each line; `total` steps are to run, each a `unit` (a frame, a game). The
  // clock is read every `clockEvery` steps: a frame is far quicker than reading it.
  Progress(const char* program, long long total, double everySeconds = 3.0, const char* unit = "frame",
           long long clockEvery = 256)
      : program_(program), unit_(unit), total_(total), every_(everySeconds), clockEvery_(clockEvery > 0 ? clockEvery : 1),
        on_(isatty(STDERR_FILENO) == 1), next_(everySeconds) {}

  // After step `done` (counted from 1): says how far the run is when the time has come.
  void Frame(long long done) {
    if (!on_ || done % clockEvery_ != 0) return;
    auto now = Clock::now();
    double seconds = std::chrono::duration<double>(now - start_).count();
    if (seconds < next_) return;
    next_ = seconds + every_;
    double rate = done / seconds;
    double left = rate > 0 ? (total_ - done) / rate : 0.0;
    fprintf(stderr, "%s: %s %lld of %lld (%.1f %%), %.*f %ss/s, about %s left\n", program_, unit_, done, total_,
            total_ > 0 ? 100.0 * done / total_ : 100.0, rate < 10 ? 1 : 0, rate, unit_, Duration(left).c_str());
  }

 private:
  using Clock = std::chrono::steady_clock;
  static std::string Duration(double s) {
    char text[32];
    if (s < 60)
      snprintf(text, sizeof text, "%.0f s", s);
    else if (s < 3600)
      snprintf(text, sizeof text, "%.0f min", s / 60);
    else
      snprintf(text, sizeof text, "%.0f h %02.0f min", static_cast<double>(static_cast<long long>(s / 3600)),
               static_cast<double>(static_cast<long long>(s / 60) % 60));
    return text;
  }
  const char* program_;
  const char* unit_;
  long long total_;
  double every_;
  long long clockEvery_;
  bool on_;
  double next_;  // seconds from the start
  Clock::time_point start_ = Clock::now();
};

}  // namespace sim
