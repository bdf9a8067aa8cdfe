-- wrk script: GET /v1/zip4/CODE with a code drawn at random from a list of
-- existing ZIP+4 codes (one "12345-6789" a line; path from CODES, default
-- codes.txt). Counts the answers other than 200 and prints them at the end.
local codes = {}
local file = os.getenv("CODES") or "codes.txt"
for line in io.lines(file) do
  if #line > 0 then codes[#codes + 1] = line end
end
if #codes == 0 then error("no ZIP+4 codes in " .. file) end

local token = os.getenv("TOKEN")
local headers = {}
if token and #token > 0 then headers["Authorization"] = "Bearer " .. token end

local threads = {}
function setup(thread)
  table.insert(threads, thread)
end

function init(args)
  math.randomseed(os.time() + tonumber(tostring({}):match("0x(%x+)"), 16) % 100000)
  failed = 0
end

function request()
  return wrk.format("GET", "/v1/zip4/" .. codes[math.random(#codes)], headers)
end

function response(status, headers, body)
  if status ~= 200 then failed = failed + 1 end
end

function done(summary, latency, requests)
  local bad = 0
  for _, t in ipairs(threads) do bad = bad + t:get("failed") end
  io.write(string.format("requests/s: %.0f\n", summary.requests / (summary.duration / 1e6)))
  io.write(string.format("p50: %.2f ms  p99: %.2f ms  max: %.2f ms\n", latency:percentile(50) / 1000,
                         latency:percentile(99) / 1000, latency.max / 1000))
  io.write(string.format("non-200 answers: %d, socket errors: %d\n", bad,
                         summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.timeout))
end
