-- Run by scripts/ardour-check through ardour7-lua, on the Dummy backend:
--   session.lua create DIR NAME KIND ID [PRESET_URI]
--     a new session with one MIDI track "Synth": the plug-in (KIND lv2 with
--     its URI, or lxvst with its unique id) and the recorder after it; loads
--     the preset into the plug-in, if one is named, and saves
--   session.lua reload DIR NAME SECONDS
--     opens the session, lets the engine run SECONDS and prints what the
--     recorder saw
-- Every line meant for the check starts with "ardour-check: ".
local rate, block = 44100, 512

local function say (...)
	print ("ardour-check: " .. table.concat ({ ... }, " "))
end

local function fail (text)
	say ("error", text)
	error (text, 0)
end

local function start_engine ()
	AudioEngine:set_backend ("None (Dummy)", "", "")
	AudioEngine:set_sample_rate (rate)
	AudioEngine:set_buffer_size (block)
end

local function list_plugins (track)
	local i = 0
	while true do
		local proc = track:nth_plugin (i)
		if proc:isnil () then break end
		say ("plugin", i, proc:display_name ())
		i = i + 1
	end
end

local function create (dir, name, kind, id, preset_uri)
	start_engine ()
	local session = create_session (dir, name, rate)
	if not session then fail ("no session at " .. dir) end
	local midi = ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1)
	local tracks = session:new_midi_track (midi, midi, false, ARDOUR.PluginInfo (), nil, nil, 1, "Synth",
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, false, false)
	local track = tracks:front ()
	local types = { lv2 = ARDOUR.PluginType.LV2, lxvst = ARDOUR.PluginType.LXVST }
	local plugin = ARDOUR.LuaAPI.new_plugin (session, id, types[kind], "")
	if plugin:isnil () then fail ("Ardour found no " .. kind .. " plug-in " .. id) end
	if track:add_processor_by_index (plugin, 0, nil, true) ~= 0 then fail ("the plug-in did not go on the track") end
	if preset_uri then
		local p = plugin:to_insert ():plugin (0)
		local preset = p:preset_by_uri (preset_uri)
		if not preset then fail ("the plug-in has no preset " .. preset_uri) end
		if not p:load_preset (preset) then fail ("the preset " .. preset_uri .. " did not load") end
		say ("preset", preset.label)
	end
	local recorder = ARDOUR.LuaAPI.new_luaproc (session, "Quillet Test Recorder")
	if recorder:isnil () then fail ("no recorder script") end
	if track:add_processor_by_index (recorder, 1, nil, true) ~= 0 then fail ("the recorder did not go on the track") end
	list_plugins (track)
	if session:save_state ("", false, false, false, false, false) ~= 0 then fail ("the session did not save") end
	say ("saved", session:path ())
	close_session ()
end

local function reload (dir, name, seconds)
	start_engine ()
	local session = load_session (dir, name)
	if not session then fail ("the session at " .. dir .. " did not load") end
	say ("rate", session:nominal_sample_rate (), "block", session:get_block_size ())
	local track = session:route_by_name ("Synth")
	if track:isnil () then fail ("no track Synth") end
	list_plugins (track)
	sleep (tonumber (seconds))
	local recorder = track:nth_plugin (1)
	if recorder:isnil () or recorder:display_name () ~= "Quillet Test Recorder" then fail ("no recorder after the plug-in") end
	local mem = recorder:to_insert ():plugin (0):to_luaproc ():shmem ():to_int (0):array ()
	say ("processed", mem[2], "events", mem[1])
	for n = 0, math.min (mem[1], 256) - 1 do
		local base = 2 + n * 5
		local bytes = {}
		for j = 1, 3 do
			if mem[base + 2 + j] >= 0 then bytes[#bytes + 1] = string.format ("%02X", mem[base + 2 + j]) end
		end
		say ("event", mem[base + 1], mem[base + 2], table.concat (bytes, " "))
	end
	close_session ()
end

local command = arg[1]
if command == "create" then
	create (arg[2], arg[3], arg[4], arg[5], arg[6])
elseif command == "reload" then
	reload (arg[2], arg[3], arg[4] or "2")
else
	fail ("usage: session.lua create DIR NAME KIND ID [PRESET_URI] | reload DIR NAME SECONDS")
end
