-- POST /v1/standardize with bodies of 100 addresses each, read from the file
-- named by BODIES (one JSON array a line), in turn. Prints addresses/s.
local bodies = {}
for line in io.lines(os.getenv("BODIES")) do bodies[#bodies + 1] = line end
local n = 0

function request()
  n = n + 1
  local body = bodies[(n % #bodies) + 1]
  return wrk.format("POST", "/v1/standardize", {["Content-Type"] = "application/json"}, body)
end

function done(summary, latency, requests)
  local seconds = summary.duration / 1e6
  io.write(string.format("requests/s: %.1f (%d requests, %d errors)\n", summary.requests / seconds,
                         summary.requests, summary.errors.status + summary.errors.connect + summary.errors.read +
                         summary.errors.write + summary.errors.timeout))
  io.write(string.format("addresses/s: %.0f\n", summary.requests * 100 / seconds))
  io.write(string.format("p99: %.2f ms\n", latency:percentile(99) / 1000))
end
