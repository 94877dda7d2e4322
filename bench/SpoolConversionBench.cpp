// Spool conversion throughput next to a plain copy of the same file. The
// conversion reads the spool file once and writes nearly all of it back out,
// so a 1 MiB read/write copy on the same disk is the bound it should come
// close to; the ratio at the end says how close.
//
// One spool file of a little over 200 MB is built per run, with pages from
// 20 KB to 2 MB and the 8-byte type 13 record after each page as the
// spooler writes them. Its pages stay in the page cache (it is read once
// before measuring), and nothing is fsynced, so both figures are what the
// file system takes without waiting for the disk.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/EmfWriter.h"
#include "tests/support/SpoolWriter.h"
#include "tests/support/TempDir.h"
#include "viewxqp/viewxqp.h"

namespace {

constexpr uint64_t kSpoolTarget = 200ull * 1000 * 1000;
constexpr size_t kCopyBuffer = size_t{1} << 20;

struct Workload {
  fbtest::TempDir dir;
  std::string spool = dir.file("job.spl");
  std::string copy = dir.file("copy.spl");
  std::string pageFile = dir.file("job.qzm");
  uint64_t bytes = 0;
  size_t pages = 0;
};

Workload* workload = nullptr;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

// Pages in a fixed order, mostly text-sized with the odd image-heavy one.
void writeSpool(Workload& w) {
  const size_t sizes[] = {20'000, 64'000, 150'000, 32'000, 400'000, 90'000, 1'200'000, 48'000, 700'000, 2'000'000};
  std::vector<std::vector<uint8_t>> emfs;
  for (const size_t size : sizes) emfs.push_back(fbtest::makeEmf(size));

  std::ofstream out(w.spool, std::ios::binary | std::ios::trunc);
  const auto put = [&](const std::vector<uint8_t>& bytes, size_t from) {
    out.write(reinterpret_cast<const char*>(bytes.data() + from), static_cast<std::streamsize>(bytes.size() - from));
    w.bytes += bytes.size() - from;
  };
  fbtest::SpoolWriter header(u"Benchmark job");
  header.record(fbtest::kSpoolDevMode, std::vector<uint8_t>(220, 0));
  put(header.bytes(), 0);
  // Each page is written through a writer of its own so its type 13 record
  // gets the right distance back; only the records after the header are kept.
  const size_t headerSize = fbtest::SpoolWriter(u"Benchmark job").bytes().size();
  for (size_t i = 0; w.bytes < kSpoolTarget; ++i, ++w.pages) {
    fbtest::SpoolWriter page(u"Benchmark job");
    page.page(emfs[i % emfs.size()]).pageExt();
    put(page.bytes(), headerSize);
  }
  out.close();
  if (!out) fail("cannot write " + w.spool);
}

void copyFile(const std::string& from, const std::string& to, std::vector<char>& buffer) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) fail("cannot open the copy's files");
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0) fail("read");
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t m = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
      if (m <= 0) fail("write");
      done += m;
    }
  }
  ::close(in);
  if (::close(out) != 0) fail("close");
}

// Reads the whole file into the page cache, so the first measured
// iteration does not pay for reading the disk.
void warmCache(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("cannot open " + path);
  std::vector<char> buffer(kCopyBuffer);
  while (::read(fd, buffer.data(), buffer.size()) > 0) {
  }
  ::close(fd);
}

// One unmeasured round of both. On a virtual machine the first 200 MB
// written into fresh page cache costs several times what later writes do
// (the host backs the guest's memory on first touch), and whichever
// benchmark ran first would pay for it.
void warmUp(Workload& w) {
  warmCache(w.spool);
  std::vector<char> buffer(kCopyBuffer);
  copyFile(w.spool, w.copy, buffer);
  ::unlink(w.copy.c_str());
  if (BuildXQPFile(w.spool.c_str(), "Benchmark job", 1, 9) != 1) throw std::runtime_error("BuildXQPFile failed");
  ::unlink(w.pageFile.c_str());
}

void BM_CopyFile(benchmark::State& state) {
  std::vector<char> buffer(kCopyBuffer);
  for (auto _ : state) {
    copyFile(workload->spool, workload->copy, buffer);
    // A fresh file each time, as the conversion writes one.
    state.PauseTiming();
    ::unlink(workload->copy.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * workload->bytes));
}

void BM_BuildXQPFile(benchmark::State& state) {
  for (auto _ : state) {
    if (BuildXQPFile(workload->spool.c_str(), "Benchmark job", 1, 9) != 1) {
      state.SkipWithError("BuildXQPFile failed");
      break;
    }
    state.PauseTiming();
    ::unlink(workload->pageFile.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * workload->bytes));
}

BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_BuildXQPFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The console output as usual, keeping each benchmark's bytes per second
// (the mean over repetitions, when asked for several) for the ratio printed
// at the end.
class RateKeeper : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so logs stay plain.
  RateKeeper() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (run.error_occurred || run.run_type != Run::RT_Iteration || rate == run.counters.end()) continue;
      auto& [sum, count] = rates_[run.run_name.function_name];
      sum += rate->second.value;
      ++count;
    }
  }
  // Bytes per second, or 0 when the benchmark did not run.
  double rate(const std::string& name) const {
    const auto it = rates_.find(name);
    return it == rates_.end() ? 0 : it->second.first / it->second.second;
  }

 private:
  std::map<std::string, std::pair<double, int>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    auto w = std::make_unique<Workload>();
    workload = w.get();
    writeSpool(*w);
    warmUp(*w);
    std::printf("spool file: %.1f MB, %zu pages, in %s\n", static_cast<double>(w->bytes) / 1e6, w->pages,
                w->dir.path().c_str());

    RateKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double copy = reporter.rate("BM_CopyFile");
    const double conversion = reporter.rate("BM_BuildXQPFile");
    if (copy > 0 && conversion > 0) {
      // The goal is stated in time: the conversion's time over the copy's.
      std::printf("copy %.0f MB/s, conversion %.0f MB/s, conversion time / copy time %.2f\n", copy / 1e6,
                  conversion / 1e6, copy / conversion);
    }
    workload = nullptr;
    // The Workload's folder goes with everything in it.
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_spool_conversion: %s\n", e.what());
    benchmark::Shutdown();
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
