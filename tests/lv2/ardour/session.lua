-- Drives Ardour (ardour7-lua, Dummy backend) with the KroTrella LV2 on a track fed by Ardour's own
-- sine generator (1 kHz), as a user would: insert, set, save, reopen, reset, automate.
--
--   ardour7-lua session.lua <session folder> create|reopen <plug-in URI>
--
-- Prints "VALUES <case> <n>=<value> ..." for what Ardour reports for the plug-in's 23 controls (n:
-- the control's number, in parameter order), and "LEVEL <case> <dB>" for the track's peak meter,
-- which reads after the plug-in. (The sound is measured on the meter rather than in exports:
-- Ardour 7.3's headless export corrupts its heap in about a third of the runs, with no plug-in.)

local folder, phase, uri = arg[1], arg[2], arg[3]
local rate = 48000

ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", "") ~= nil, "no Dummy backend")

if phase == "create" then
  assert(create_session(folder, "krotrella", rate), "cannot create the session")
else
  assert(load_session(folder, "krotrella"), "cannot open the session")
end

local function track()
  return Session:route_by_name("T"):to_track()
end

local function ours()
  return track():nth_plugin(1)
end

local function report(label)
  local line = "VALUES " .. label
  local insert = ours():to_insert()
  local plugin = insert:plugin(0)
  local n = 0
  for i = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_is_input(i) and plugin:parameter_is_control(i) then
      local value = ARDOUR.LuaAPI.get_plugin_insert_param(insert, n, true)
      line = line .. string.format(" %d=%.6g", n, value)
      n = n + 1
    end
  end
  print(line)
end

local function set(n, value)
  assert(ARDOUR.LuaAPI.set_plugin_insert_param(ours():to_insert(), n, value), "cannot set control " .. n)
end

-- The track's peak meter (dBFS): the highest reading over the given number of 10 ms steps.
local function peak(steps)
  local meter = track():peak_meter()
  local highest = -200
  for _ = 1, steps do
    highest = math.max(highest, meter:meter_level(0, ARDOUR.MeterType.MeterPeak))
    ARDOUR.LuaAPI.usleep(10000)
  end
  meter = nil
  return highest
end

-- The level once the signal has settled.
local function level(label)
  ARDOUR.LuaAPI.usleep(500000)
  print(string.format("LEVEL %s %.3f", label, peak(30)))
end

local function settle()
  ARDOUR.LuaAPI.usleep(500000)
end

-- Control numbers (parameter index order).
local master_active, master_gain, band2_freq, band2_gain, band2_q, band4_type, band2_active, hipass_freq =
  0, 1, 3, 7, 11, 15, 17, 21

if phase == "create" then
  local tracks = Session:new_audio_track(2, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true, false)
  local t = tracks:front()
  local generator = ARDOUR.LuaAPI.new_luaproc(Session, "SinGen") -- 1 kHz, -18 dB
  assert(not generator:isnil(), "no sine generator")
  t:add_processor_by_index(generator, 0, nil, true)
  local plugin = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
  assert(not plugin:isnil(), "Ardour does not find the plug-in " .. uri)
  t:add_processor_by_index(plugin, 1, nil, true)
  generator, plugin, tracks = nil, nil, nil

  for _ = 1, 100 do
    if t:output():audio(0):connected() then break end
    ARDOUR.LuaAPI.usleep(100000)
  end
  t = nil
  settle()

  report("fresh")

  ours():deactivate()
  level("dry")
  ours():activate()
  level("defaults")

  -- EQ on, band 2 at 1 kHz +12 dB with Q 2, output -3 dB, band 4 a peak, high-pass at 30 Hz.
  set(master_active, 1)
  set(band2_active, 1)
  set(band2_freq, 1000)
  set(band2_gain, 12)
  set(band2_q, 2)
  set(master_gain, -3)
  set(band4_type, 0)
  set(hipass_freq, 30)
  settle()
  report("set")
  level("set")
  Session:save_state("", false, false, false, false, false)
else
  settle()
  report("reopened")
  level("reopened")

  ours():to_insert():reset_parameters_to_default()
  settle()
  report("reset")
  level("reset")

  -- An automation lane on band 2's gain: 0 dB for the first 1.9 s, a ramp to +12 dB at 2 s, then
  -- +12 dB to 10 s. Played from the start; read while the transport passes 1.5 s and 3 s.
  set(master_active, 1)
  set(band2_active, 1)
  local al, cl, pd = ARDOUR.LuaAPI.plugin_automation(ours(), band2_gain)
  assert(not al:isnil(), "no automation lane for band2_gain")
  for _, point in ipairs({ { 0, 0 }, { 1.9, 0 }, { 2.0, 12 }, { 10.0, 12 } }) do
    cl:add(Temporal.timepos_t(math.floor(point[1] * rate)), point[2], false, true)
  end
  local gainPort = 4 + band2_gain -- after the four audio ports
  local control = ours():to_automatable():automation_control(
    Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, gainPort), false)
  assert(not control:isnil(), "no automation control for band2_gain")
  control:set_automation_state(ARDOUR.AutoState.Play)
  al, cl, pd = nil, nil, nil

  Session:request_locate(0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
  ARDOUR.LuaAPI.usleep(300000)
  Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  for _, at in ipairs({ 1.5, 3.0 }) do
    while Session:transport_sample() < at * rate do
      ARDOUR.LuaAPI.usleep(5000)
    end
    print(string.format("AUTOMATION %.1f %.3f %.6g", at, peak(20), control:get_value()))
  end
  Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  control = nil
end

collectgarbage()
collectgarbage()
close_session()
print("DONE " .. phase)
