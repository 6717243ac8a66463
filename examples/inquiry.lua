-- Brings up a Bluetooth module and calls the first device it finds: reset, wait for the
-- banner, run an inquiry, pick the first address, call it and check the answer.
--
--   zorvane --run examples/inquiry.lua --port 71 --junit inquiry.xml
--
-- Each test(...) step is one test case in the JUnit report; a failed assert or expect ends
-- the run with status 1 and names this file and line on standard error.

local found = {}

test("reset", function()
  zv.command("R") -- the main toolbar's R button: RESET
  assert(zv.expect("READY%.", 3000), "no READY. after RESET")
end)

test("inquiry", function()
  zv.sendline("INQUIRY 5")
  local ok, _, count = zv.expect("INQUIRY (%d+)\r", 5000)
  assert(ok, "no inquiry result")
  for n = 1, tonumber(count) do
    local _, _, address = zv.expect("INQUIRY (%x%x:%x%x:%x%x:%x%x:%x%x:%x%x) ", 3000)
    assert(address, "inquiry result " .. n .. " missing")
    found[#found + 1] = address
    zv.log("found " .. address)
  end
  assert(#found > 0, "no device found")
end)

test("call", function()
  -- The SPP toolbar's Call SPP button, aimed at the first address found.
  zv.command("Call SPP", found[1])
  local which, _, link = zv.expect({"CONNECT (%d+) RFCOMM", "NO CARRIER"}, 5000)
  assert(which == 1, "the call to " .. found[1] .. " failed")
  zv.log("connected to " .. found[1] .. " on link " .. link)
end)
