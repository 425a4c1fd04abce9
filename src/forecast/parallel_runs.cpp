#include "forecast/parallel_runs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "engine/parallel_eval.h"
#include "forecast/baselines.h"

namespace vobrix::forecast {

namespace {

// What a child writes: kGeneration after each generation, then kResult or kError with a
// length-prefixed payload.
constexpr char kGeneration = 'g';
constexpr char kResult = 'r';
constexpr char kError = 'e';

template <typename T>
void Put(std::string& bytes, const T& value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T Take(const std::string& bytes, std::size_t& at) {
  if (at + sizeof(T) > bytes.size()) throw ForecastError("a run's result is cut short");
  T value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  at += sizeof value;
  return value;
}

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ::_exit(1);  // the parent has gone
    done += static_cast<std::size_t>(n);
  }
}

std::string Framed(char kind, const std::string& payload) {
  std::string bytes(1, kind);
  Put(bytes, static_cast<std::uint64_t>(payload.size()));
  return bytes + payload;
}

// The child's whole life: the task, its generations and its result on the pipe, then _exit, so
// that nothing of the parent's (buffers, atexit handlers) runs twice.
[[noreturn]] void ChildRuns(int fd, std::size_t index, const RunTask& task) {
  std::string message;
  try {
    const MemberRun run = task(index, 1, [fd] {
      WriteAll(fd, std::string(1, kGeneration));
      return true;
    });
    message = Framed(kResult, EncodeRun(run));
  } catch (const std::exception& e) {
    message = Framed(kError, e.what());
  } catch (...) {
    message = Framed(kError, "unknown error");
  }
  WriteAll(fd, message);
  ::_exit(0);
}

struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::size_t index = 0;
  std::string received;
};

// The running children; whatever is left of them when the runs end early is killed and reaped.
class Children {
 public:
  ~Children() {
    for (Child& child : running_) {
      ::kill(child.pid, SIGKILL);
      Reap(child);
    }
  }

  void Start(std::size_t index, const RunTask& task) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw ForecastError("no pipe for a run's process");
    const pid_t pid = ::fork();
    if (pid < 0) {
      ::close(fds[0]);
      ::close(fds[1]);
      throw ForecastError("no process for a run");
    }
    if (pid == 0) {
      ::close(fds[0]);
      ChildRuns(fds[1], index, task);
    }
    ::close(fds[1]);
    running_.push_back({pid, fds[0], index, {}});
  }

  bool empty() const { return running_.empty(); }
  std::size_t Count() const { return running_.size(); }

  // Waits for output of any child; hands each generation to afterGeneration and each finished
  // child's last message to finished. Throws RunStopped when afterGeneration says stop.
  void Poll(const GenerationHook& afterGeneration,
            const std::function<void(std::size_t, char, const std::string&)>& finished) {
    std::vector<pollfd> fds;
    for (const Child& child : running_) fds.push_back({child.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) return;
      throw ForecastError("waiting for the runs failed");
    }
    for (std::size_t c = running_.size(); c-- > 0;) {
      if (fds[c].revents == 0) continue;
      Child& child = running_[c];
      char buffer[65536];
      const ssize_t n = ::read(child.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        child.received.append(buffer, static_cast<std::size_t>(n));
        std::size_t g = 0;
        while (g < child.received.size() && child.received[g] == kGeneration) {
          ++g;
          if (afterGeneration && !afterGeneration()) throw RunStopped();
        }
        child.received.erase(0, g);
        continue;
      }
      const int status = Reap(child);
      const Child done = std::move(child);
      running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(c));
      std::size_t at = 1;
      if (done.received.empty() || !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        throw ForecastError("the process of run " + std::to_string(done.index + 1) +
                            " ended without a result");
      }
      const auto length = Take<std::uint64_t>(done.received, at);
      if (done.received.size() != at + length) throw ForecastError("a run's result is cut short");
      finished(done.index, done.received[0], done.received.substr(at));
    }
  }

 private:
  static int Reap(Child& child) {
    ::close(child.fd);
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
  }

  std::vector<Child> running_;
};

}  // namespace

std::string EncodeRun(const MemberRun& run) {
  std::string bytes;
  Put(bytes, run.generation);
  Put(bytes, run.holdoutMse);
  Put(bytes, static_cast<char>(run.scaling.has_value()));
  if (run.scaling) {
    Put(bytes, run.scaling->a);
    Put(bytes, run.scaling->b);
  }
  Put(bytes, static_cast<std::uint64_t>(run.program.size()));
  for (const model::ModelNode& node : run.program) {
    Put(bytes, static_cast<std::int32_t>(node.kind));
    Put(bytes, static_cast<std::int32_t>(node.index));
    Put(bytes, node.value);
  }
  return bytes;
}

MemberRun DecodeRun(const std::string& bytes) {
  std::size_t at = 0;
  MemberRun run;
  run.generation = Take<std::int32_t>(bytes, at);
  run.holdoutMse = Take<double>(bytes, at);
  if (Take<char>(bytes, at) != 0) {
    const double a = Take<double>(bytes, at);
    run.scaling = LinearScaling{a, Take<double>(bytes, at)};
  }
  const auto nodes = Take<std::uint64_t>(bytes, at);
  for (std::uint64_t i = 0; i < nodes; ++i) {
    model::ModelNode node;
    node.kind = static_cast<model::ModelNode::Kind>(Take<std::int32_t>(bytes, at));
    node.index = Take<std::int32_t>(bytes, at);
    node.value = Take<double>(bytes, at);
    run.program.push_back(node);
  }
  if (at != bytes.size()) throw ForecastError("a run's result is longer than its program");
  return run;
}

std::vector<MemberRun> RunSideBySide(std::size_t count, int threads, const RunTask& task,
                                     const GenerationHook& afterGeneration) {
  std::vector<MemberRun> results(count);
  const int processes = kChildProcesses ? GenerationEvaluator::ThreadCount(threads) : 1;
  if (processes <= 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i) results[i] = task(i, threads, afterGeneration);
    return results;
  }
  Children children;
  std::size_t next = 0;
  const auto finished = [&](std::size_t index, char kind, const std::string& payload) {
    if (kind != kResult) throw ForecastError(payload);
    results[index] = DecodeRun(payload);
  };
  while (next < count || !children.empty()) {
    while (next < count && children.Count() < static_cast<std::size_t>(processes)) {
      children.Start(next++, task);
    }
    children.Poll(afterGeneration, finished);
  }
  return results;
}

}  // namespace vobrix::forecast
