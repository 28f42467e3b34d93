// The tool as a POSIX process: what a broken console, a file size limit or a slow log does to a
// run, and how much memory a run takes. Each test starts the built tool in a fresh folder.
#include <fcntl.h>
#include <poll.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads what the tool printed on a pipe, once it has exited.
std::string drain(int fd) {
  std::string shown;
  char buffer[4096];
  for (ssize_t got = 0; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
    shown.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return shown;
}

struct Exit {
  int status = -1;  // the exit status, or -1 if the tool did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  long peak_kib = 0;
};

class ToolProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mirtak-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::copy_file(fs::path(MIRTAK_EXAMPLES) / "QDEMOX.LOG", dir_ / "log.in");
    sample_values_ = read_file(fs::path(MIRTAK_EXAMPLES) / "QDEMOX.MX");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Starts the tool on log and value names inside the folder; in_child prepares the child's
  // standard streams and limits just before the tool starts, with SIGPIPE at its default.
  static pid_t start(const fs::path& dir, const std::string& log, const std::string& values,
                     const std::function<void()>& in_child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir.c_str()) != 0) ::_exit(126);
      (void)std::signal(SIGPIPE, SIG_DFL);
      (void)std::signal(SIGXFSZ, SIG_DFL);
      in_child();
      ::execl(MIRTAK_TOOL, MIRTAK_TOOL, log.c_str(), values.c_str(), nullptr);
      ::_exit(127);
    }
    return pid;
  }

  static Exit wait_for(pid_t pid) {
    Exit result;
    int status = 0;
    struct rusage usage {};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
      if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
      result.peak_kib = usage.ru_maxrss;
    }
    return result;
  }

  Exit run(
      const std::string& log, const std::string& values,
      const std::function<void()>& in_child = [] {}) {
    return wait_for(start(dir_, log, values, in_child));
  }

  // Starts the tool with its standard output on a pipe, more of the child's set-up after that;
  // the pipe's reading end is put in `console`.
  static pid_t start_with_console(
      const fs::path& dir, const std::string& log, const std::string& values, int& console,
      const std::function<void()>& in_child = [] {}) {
    int ends[2];
    if (::pipe(ends) != 0) return -1;
    const pid_t pid = start(dir, log, values, [&ends, &in_child] {
      ::dup2(ends[1], 1);
      ::close(ends[0]);
      ::close(ends[1]);
      in_child();
    });
    ::close(ends[1]);
    console = ends[0];
    return pid;
  }

  // What the tool printed, write by write: with a socket of sequenced packets as standard
  // output, each write arrives as one packet.
  std::vector<std::string> console_writes(const std::string& log, const std::string& values,
                                          int expected_status) {
    int console[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, console) != 0) return {"no socket"};
    const pid_t pid = start(dir_, log, values, [&console] {
      ::dup2(console[1], 1);
      ::close(console[0]);
      ::close(console[1]);
    });
    ::close(console[1]);
    std::vector<std::string> writes;
    std::string packet(std::size_t{1} << 20, '\0');
    for (ssize_t got = 0; (got = ::recv(console[0], packet.data(), packet.size(), 0)) > 0;)
      writes.emplace_back(packet.data(), static_cast<std::size_t>(got));
    ::close(console[0]);
    EXPECT_EQ(wait_for(pid).status, expected_status);
    return writes;
  }

  fs::path dir_;
  std::string sample_values_;
};

TEST_F(ToolProcess, BrokenConsoleNeitherStopsNorFailsTheRun) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);  // the reader is gone before anything is written
  const int reader_gone = pipe_ends[1];

  const struct {
    const char* console;
    std::function<void()> prepare;
  } consoles[] = {
      {"closed", [] { ::close(1); }},
      {"closed with standard input",
       [] {
         ::close(0);
         ::close(1);
       }},
      {"full", [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }},
      {"a pipe nobody reads", [reader_gone] { ::dup2(reader_gone, 1); }},
  };
  for (const auto& c : consoles) {
    SCOPED_TRACE(c.console);
    fs::remove(dir_ / "value.out");
    fs::remove(dir_ / "other.out");
    EXPECT_EQ(run("log.in", "value.out", c.prepare).status, 0);
    EXPECT_EQ(read_file(dir_ / "value.out"), sample_values_);
    // A failure stays a failure, with nothing to print it on.
    EXPECT_EQ(run("missing.log", "other.out", c.prepare).status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "other.out"));
    // Its message never lands in a file the run opened in place of the console.
    if (fs::exists("/proc/self/mem")) {
      EXPECT_EQ(run("/proc/self/mem", "other.out", c.prepare).status, 1);
      EXPECT_FALSE(fs::exists(dir_ / "other.out"));
    }
  }
  ::close(reader_gone);
}

TEST_F(ToolProcess, FileSizeLimitIsAWriteErrorAndKeepsWhatWasWritten) {
  constexpr rlim_t kLimit = 100;
  // Whether the caller leaves SIGXFSZ at its default or ignores it, the write fails (EFBIG) and
  // is reported, rather than the tool being killed or the short file passing as a conversion.
  const struct {
    const char* caller;
    void (*signal_action)(int);
  } callers[] = {{"SIGXFSZ at its default", SIG_DFL}, {"SIGXFSZ ignored", SIG_IGN}};
  for (const auto& c : callers) {
    SCOPED_TRACE(c.caller);
    // The console goes to a pipe: a file would meet the size limit too.
    int console = -1;
    const auto action = c.signal_action;
    const pid_t pid = start_with_console(dir_, "log.in", "value.out", console, [action] {
      (void)std::signal(SIGXFSZ, action);
      const struct rlimit limit = {kLimit, kLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    ASSERT_GT(pid, 0);
    EXPECT_EQ(wait_for(pid).status, 1);
    EXPECT_EQ(read_file(dir_ / "value.out"), sample_values_.substr(0, kLimit));
    const std::string shown = drain(console);
    const std::string message = "\r\nCan not write value.out file";
    EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), message.size())), message)
        << shown;
  }
}

TEST_F(ToolProcess, BannerShowsBeforeTheLogIsOpened) {
  ASSERT_EQ(::mkfifo((dir_ / "log.fifo").c_str(), 0600), 0);
  int console = -1;
  const pid_t pid = start_with_console(dir_, "log.fifo", "value.out", console);
  ASSERT_GT(pid, 0);

  // The tool now waits in opening the log, which has no writer yet: the banner must be out.
  std::string shown;
  struct pollfd ready = {console, POLLIN, 0};
  while (shown.find("QDEMO.MX") == std::string::npos && ::poll(&ready, 1, 10000) == 1) {
    char buffer[512];
    const ssize_t got = ::read(console, buffer, sizeof buffer);
    if (got <= 0) break;
    shown.append(buffer, static_cast<std::size_t>(got));
  }
  EXPECT_NE(shown.find("MIRTAK QDEMOX.LOG QDEMO.MX"), std::string::npos) << shown;

  {
    std::ofstream log(dir_ / "log.fifo", std::ios::binary);
    log << read_file(dir_ / "log.in");
  }
  EXPECT_EQ(wait_for(pid).status, 0);
  ::close(console);
  EXPECT_EQ(read_file(dir_ / "value.out"), sample_values_);
}

TEST_F(ToolProcess, EachMessageGoesOutInOneWrite) {
  // Runs sharing one standard output (a batch started side by side) can then never cut into
  // each other's banner or message.
  const std::vector<std::string> converted = console_writes("log.in", "value.out", 0);
  ASSERT_EQ(converted.size(), 1u);
  const std::string& banner = converted[0];
  EXPECT_EQ(banner.substr(0, 4), "\r\n\r\n");
  EXPECT_NE(banner.find("MIRTAK QDEMOX.LOG QDEMO.MX\r\n\r\n"), std::string::npos);

  const auto with_cr = [](const std::string& text) {
    std::string out;
    for (const char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  };
  const std::string newlines(4000, '\n');  // a name the console doubles, near a path's length
  const struct {
    const char* what;
    std::string log;
  } fitting[] = {{"a missing log", "nolog_7"}, {"a long name of newlines", newlines}};
  for (const auto& c : fitting) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> writes = console_writes(c.log, "x.mx", 1);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], banner);
    EXPECT_TRUE(writes[1] == "\r\nNo such file " + with_cr(c.log)) << "the message differs";
  }

  // A name longer than any file can have goes out in consecutive writes, with the same bytes,
  // whether or not a newline falls where one write ends.
  std::string lines;
  for (int i = 0; i < 40000; ++i)
    lines += "ab\n";
  for (const std::string& name : {std::string(120000, 'n'), lines}) {
    const std::vector<std::string> writes = console_writes(name, "x.mx", 1);
    std::string all;
    for (const std::string& w : writes)
      all += w;
    EXPECT_GT(writes.size(), 2u);
    EXPECT_TRUE(all == banner + "\r\nNo such file " + with_cr(name)) << "the bytes differ";
  }
}

#ifdef __linux__  // file watching is the system's own
// Every kind of event a watcher has seen, read without waiting; closes the watcher.
std::uint32_t events_seen(int watcher) {
  std::uint32_t seen = 0;
  alignas(struct inotify_event) char events[4096];
  for (ssize_t got = 0; (got = ::read(watcher, events, sizeof events)) > 0;) {
    for (ssize_t at = 0; at < got;) {
      struct inotify_event event {};
      std::memcpy(&event, events + at, sizeof event);
      seen |= event.mask;
      at += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
  ::close(watcher);
  return seen;
}

TEST_F(ToolProcess, ARefusedRunNeverOpensTheLogForWriting) {
  // The value file is looked at before it is opened: a name that leads to the log is refused
  // without the log being opened for writing, which file watchers would see.
  fs::create_hard_link(dir_ / "log.in", dir_ / "hard.mx");
  fs::create_symlink("log.in", dir_ / "soft.mx");
  for (const char* name : {"log.in", "./log.in", "hard.mx", "soft.mx"}) {
    SCOPED_TRACE(name);
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(::inotify_add_watch(watcher, (dir_ / "log.in").c_str(),
                                  IN_OPEN | IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB),
              0);
    EXPECT_EQ(run("log.in", name).status, 1);
    const std::uint32_t seen = events_seen(watcher);
    EXPECT_NE(seen & IN_OPEN, 0u) << "the log was not even opened to be read";
    EXPECT_EQ(seen & IN_CLOSE_WRITE, 0u) << "the log was opened for writing";
    EXPECT_EQ(seen & (IN_MODIFY | IN_ATTRIB), 0u) << "the log was changed";
    EXPECT_EQ(read_file(dir_ / "log.in"), read_file(fs::path(MIRTAK_EXAMPLES) / "QDEMOX.LOG"));
  }
}
#endif

TEST_F(ToolProcess, TooLittleMemoryStopsTheRunBeforeItStarts) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit tried here";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit tried here";
#endif
#endif
  // Address space limits from far too little for the tool to load, in steps finer than any of
  // its buffers, up to well past the least it converts with. At each the run either converts,
  // or never starts: nothing printed, the existing value file as it was.
  const std::string old("\x01\x02 older values \x00\xff", 18);
  rlim_t least_converting = 0;
  bool never_started = false;
  for (rlim_t limit = rlim_t{1} << 20; limit <= rlim_t{24} << 20; limit += rlim_t{16} << 10) {
    if (least_converting != 0 && limit > least_converting + (rlim_t{1} << 20)) break;
    SCOPED_TRACE("address space limit " + std::to_string(limit >> 10) + " KiB");
    { std::ofstream(dir_ / "value.out", std::ios::binary) << old; }
    int console = -1;
    const pid_t pid = start_with_console(dir_, "log.in", "value.out", console, [limit] {
      ::dup2(::open("/dev/null", O_WRONLY), 2);  // the loader's complaints
      const struct rlimit address_space = {limit, limit};
      ::setrlimit(RLIMIT_AS, &address_space);
    });
    ASSERT_GT(pid, 0);
    const Exit exit = wait_for(pid);
    const std::string shown = drain(console);
    if (exit.status == 0) {
      EXPECT_EQ(read_file(dir_ / "value.out"), sample_values_);
      if (least_converting == 0) least_converting = limit;
    } else {
      EXPECT_EQ(shown, "") << "status " << exit.status;
      EXPECT_EQ(read_file(dir_ / "value.out"), old) << "status " << exit.status;
      never_started = true;
    }
  }
  EXPECT_TRUE(never_started) << "no limit was too small: start lower";
  EXPECT_NE(least_converting, rlim_t{0}) << "no limit was enough: go higher";
}

TEST_F(ToolProcess, ASignalEndsTheRunAndLeavesACorrectPrefix) {
  // A log of a few MB through a FIFO, so that the run is still reading when the signal comes,
  // after it has written out some blocks of values.
  std::string log = "HEADER\r\n";
  for (int line = 0; line < 60000; ++line) {
    log += std::to_string(line);
    for (int k = 0; k < 9; ++k)
      log += "  " + std::to_string((line * 31 + k * 977) % 60000 - 30000);
    log += "\r\n";
  }
  { std::ofstream(dir_ / "whole.log", std::ios::binary) << log; }
  ASSERT_EQ(run("whole.log", "whole.out").status, 0);
  const std::string whole = read_file(dir_ / "whole.out");
  ASSERT_GT(whole.size(), std::size_t{1} << 20);

  const auto old_pipe = std::signal(SIGPIPE, SIG_IGN);  // should the tool be gone too soon
  for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
    SCOPED_TRACE(::strsignal(signal));
    fs::remove(dir_ / "log.fifo");
    fs::remove(dir_ / "cut.out");
    ASSERT_EQ(::mkfifo((dir_ / "log.fifo").c_str(), 0600), 0);
    const pid_t pid = start(dir_, "log.fifo", "cut.out", [] {});
    const int feed = ::open((dir_ / "log.fifo").c_str(), O_WRONLY);
    ASSERT_GE(feed, 0);
    const std::size_t half = log.size() / 2;
    for (std::size_t at = 0; at < half;) {
      const ssize_t put = ::write(feed, log.data() + at, half - at);
      if (put <= 0) break;
      at += static_cast<std::size_t>(put);
    }
    // Values are written out in blocks: wait for the first, then end the run.
    const struct timespec pause = {0, 10000000};  // 10 ms
    std::error_code no_file;
    for (int wait = 0; wait < 1000 && fs::file_size(dir_ / "cut.out", no_file) + 1 <= 1; ++wait)
      ::nanosleep(&pause, nullptr);
    ::kill(pid, signal);
    ::close(feed);
    const Exit exit = wait_for(pid);
    EXPECT_EQ(exit.signal, signal) << "status " << exit.status;
    const std::string cut = read_file(dir_ / "cut.out");
    EXPECT_GT(cut.size(), 0u);
    EXPECT_LT(cut.size(), whole.size());
    EXPECT_TRUE(whole.compare(0, cut.size(), cut) == 0) << "not a prefix of the conversion";
  }
  (void)std::signal(SIGPIPE, old_pipe);
}

#ifdef __linux__
TEST_F(ToolProcess, ANewOrEmptyValueFileIsNotTruncated) {
  // Nothing to empty: on some file systems truncating makes closing wait for the whole file to
  // reach the disk. An empty log gives no values, so any change seen is the truncation.
  { std::ofstream(dir_ / "empty.log", std::ios::binary) << ""; }
  for (const bool exists : {false, true}) {
    SCOPED_TRACE(exists ? "an empty value file" : "a new value file");
    fs::remove(dir_ / "value.out");
    if (exists) std::ofstream(dir_ / "value.out", std::ios::binary) << "";
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(::inotify_add_watch(watcher, dir_.c_str(), IN_MODIFY | IN_CLOSE_WRITE), 0);
    EXPECT_EQ(run("empty.log", "value.out").status, 0);
    const std::uint32_t seen = events_seen(watcher);
    EXPECT_NE(seen & IN_CLOSE_WRITE, 0u) << "the value file was not even opened";
    EXPECT_EQ(seen & IN_MODIFY, 0u) << "the value file was truncated";
  }
}
#endif

// A FIFO as the value file is written only, as cat writes one: when its reader goes, the run
// ends with a write error instead of waiting for ever on a pipe it would be reading itself.
TEST_F(ToolProcess, AFifoValueFileIsWrittenOnly) {
  {
    std::ofstream log(dir_ / "big.log", std::ios::binary);
    log << "HEADER\r\n";
    for (int i = 0; i < 100000; ++i)
      log << i << "  1  -2  300\r\n";
  }
  ASSERT_EQ(::mkfifo((dir_ / "value.fifo").c_str(), 0600), 0);
  const pid_t pid = start(dir_, "big.log", "value.fifo", [] {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
  });
  const int reader = ::open((dir_ / "value.fifo").c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  char some[1000];
  EXPECT_GT(::read(reader, some, sizeof some), 0);
  ::close(reader);
  int status = 0;
  pid_t done = 0;
  const struct timespec pause = {0, 100000000};  // 100 ms
  for (int i = 0; i < 200 && (done = ::waitpid(pid, &status, WNOHANG)) == 0; ++i)
    ::nanosleep(&pause, nullptr);
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "the run still wrote to the FIFO 20 s after its reader went";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// A value file one may write but not read cannot be judged by what it holds: it is written,
// judged by its size alone. Root reads anything, so as root the run is made as nobody.
TEST_F(ToolProcess, AValueFileOneMayOnlyWriteIsWritten) {
  constexpr uid_t kNobody = 65534;
  const bool root = ::geteuid() == 0;
  { std::ofstream(dir_ / "value.out", std::ios::binary) << "an old value file, not readable"; }
  fs::permissions(dir_ / "value.out", fs::perms::owner_write);
  if (root) {
    ASSERT_EQ(::chown((dir_ / "value.out").c_str(), kNobody, kNobody), 0);
    fs::permissions(dir_, fs::perms::all);
    fs::permissions(dir_ / "log.in", fs::perms::all);
  }
  const Exit exit = run("log.in", "value.out", [root] {
    if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(125);
  });
  EXPECT_EQ(exit.status, 0);
  fs::permissions(dir_ / "value.out", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(read_file(dir_ / "value.out"), sample_values_);
}

TEST_F(ToolProcess, MemoryDoesNotGrowWithALongLine) {
  constexpr std::size_t kLineBytes = 64 << 20;
  {
    std::ofstream log(dir_ / "long.log", std::ios::binary);
    log << "HEADER\r\nfirst";
    const std::string piece = "  -12345     678";
    for (std::size_t written = 0; written < kLineBytes; written += piece.size())
      log << piece;
    log << "\r\n+\r\n";
  }
  const Exit small = run("log.in", "small.out");
  const Exit large = run("long.log", "long.out");
  ASSERT_EQ(small.status, 0);
  ASSERT_EQ(large.status, 0);
  EXPECT_EQ(fs::file_size(dir_ / "long.out"), kLineBytes / 16 * 4);
  EXPECT_LT(large.peak_kib - small.peak_kib, 4 * 1024)
      << "peak " << large.peak_kib << " KiB against " << small.peak_kib << " KiB";
}

}  // namespace
