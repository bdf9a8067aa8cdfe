#include "serve_metrics.h"

#include <cstdio>

namespace corvdb::tools {

const char* EndpointName(Endpoint endpoint) {
  switch (endpoint) {
    case Endpoint::kZip4: return "zip4";
    case Endpoint::kSearch: return "search";
    case Endpoint::kStandardize: return "standardize";
    case Endpoint::kHealth: return "healthz";
    case Endpoint::kMetrics: return "metrics";
    default: return "other";
  }
}

void ServeMetrics::record(Endpoint endpoint, int status, double seconds) {
  PerEndpoint& e = endpoints_[static_cast<std::size_t>(endpoint)];
  std::size_t s = 0;
  while (s < kStatuses.size() && kStatuses[s] != status) ++s;
  e.statuses[s].fetch_add(1, std::memory_order_relaxed);
  std::size_t b = 0;
  while (b < kBuckets.size() && seconds > kBuckets[b]) ++b;
  e.buckets[b].fetch_add(1, std::memory_order_relaxed);
  if (seconds > 0) e.microseconds.fetch_add(static_cast<uint64_t>(seconds * 1e6), std::memory_order_relaxed);
}

std::string ServeMetrics::text(uint64_t generation, uint64_t reloads) const {
  std::string out;
  char line[256];
  out +=
      "# HELP corvdb_serve_requests_total Requests answered, by endpoint and status code.\n"
      "# TYPE corvdb_serve_requests_total counter\n";
  for (std::size_t i = 0; i < kEndpoints; ++i) {
    for (std::size_t s = 0; s <= kStatuses.size(); ++s) {
      const uint64_t n = endpoints_[i].statuses[s].load(std::memory_order_relaxed);
      if (n == 0) continue;
      const std::string code = s < kStatuses.size() ? std::to_string(kStatuses[s]) : "other";
      std::snprintf(line, sizeof line, "corvdb_serve_requests_total{endpoint=\"%s\",code=\"%s\"} %llu\n",
                    EndpointName(static_cast<Endpoint>(i)), code.c_str(), static_cast<unsigned long long>(n));
      out += line;
    }
  }
  out +=
      "# HELP corvdb_serve_errors_total Requests answered with a status of 400 or above, by endpoint.\n"
      "# TYPE corvdb_serve_errors_total counter\n";
  for (std::size_t i = 0; i < kEndpoints; ++i) {
    uint64_t errors = 0;
    for (std::size_t s = 0; s <= kStatuses.size(); ++s)
      if (s == kStatuses.size() || kStatuses[s] >= 400) errors += endpoints_[i].statuses[s].load(std::memory_order_relaxed);
    std::snprintf(line, sizeof line, "corvdb_serve_errors_total{endpoint=\"%s\"} %llu\n",
                  EndpointName(static_cast<Endpoint>(i)), static_cast<unsigned long long>(errors));
    out += line;
  }
  out +=
      "# HELP corvdb_serve_request_duration_seconds Time from reading a request to having answered it.\n"
      "# TYPE corvdb_serve_request_duration_seconds histogram\n";
  for (std::size_t i = 0; i < kEndpoints; ++i) {
    const char* name = EndpointName(static_cast<Endpoint>(i));
    uint64_t cumulative = 0;
    for (std::size_t b = 0; b <= kBuckets.size(); ++b) {
      cumulative += endpoints_[i].buckets[b].load(std::memory_order_relaxed);
      if (b < kBuckets.size()) {
        std::snprintf(line, sizeof line, "corvdb_serve_request_duration_seconds_bucket{endpoint=\"%s\",le=\"%g\"} %llu\n",
                      name, kBuckets[b], static_cast<unsigned long long>(cumulative));
      } else {
        std::snprintf(line, sizeof line,
                      "corvdb_serve_request_duration_seconds_bucket{endpoint=\"%s\",le=\"+Inf\"} %llu\n", name,
                      static_cast<unsigned long long>(cumulative));
      }
      out += line;
    }
    std::snprintf(line, sizeof line, "corvdb_serve_request_duration_seconds_sum{endpoint=\"%s\"} %.6f\n", name,
                  static_cast<double>(endpoints_[i].microseconds.load(std::memory_order_relaxed)) / 1e6);
    out += line;
    std::snprintf(line, sizeof line, "corvdb_serve_request_duration_seconds_count{endpoint=\"%s\"} %llu\n", name,
                  static_cast<unsigned long long>(cumulative));
    out += line;
  }
  out += "# HELP corvdb_serve_database_generation Openings of zip.cvd since the start (1: the first).\n"
         "# TYPE corvdb_serve_database_generation gauge\n"
         "corvdb_serve_database_generation " + std::to_string(generation) + "\n"
         "# HELP corvdb_serve_database_reloads_total Replaced zip.cvd files opened without a restart.\n"
         "# TYPE corvdb_serve_database_reloads_total counter\n"
         "corvdb_serve_database_reloads_total " + std::to_string(reloads) + "\n";
  return out;
}

}  // namespace corvdb::tools
