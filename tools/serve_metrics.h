// Request counters and latency histograms of corvdb serve, by endpoint, in
// the Prometheus text format. Lock-free: every request adds to atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace corvdb::tools {

enum class Endpoint { kZip4, kSearch, kStandardize, kHealth, kMetrics, kOther, kCount };

// "zip4", "search", "standardize", "healthz", "metrics", "other".
const char* EndpointName(Endpoint endpoint);

class ServeMetrics {
 public:
  // Upper bounds of the latency buckets, in seconds.
  static constexpr std::array<double, 12> kBuckets{0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                   0.05,   0.1,   0.25,   0.5,   1.0,  2.5};
  // The status codes counted one by one; any other is counted as "other".
  static constexpr std::array<int, 10> kStatuses{200, 400, 401, 404, 405, 413, 414, 431, 500, 503};

  void record(Endpoint endpoint, int status, double seconds);

  // The whole exposition; `generation` and `reloads` describe the database.
  std::string text(uint64_t generation, uint64_t reloads) const;

 private:
  static constexpr std::size_t kEndpoints = static_cast<std::size_t>(Endpoint::kCount);
  struct PerEndpoint {
    std::array<std::atomic<uint64_t>, kStatuses.size() + 1> statuses{};
    std::array<std::atomic<uint64_t>, kBuckets.size() + 1> buckets{};  // not cumulative; last: above all
    std::atomic<uint64_t> microseconds{0};
  };
  std::array<PerEndpoint, kEndpoints> endpoints_{};
};

}  // namespace corvdb::tools
