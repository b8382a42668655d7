ardour {
	["type"]    = "dsp",
	name        = "Quillet Test Recorder",
	category    = "Utility",
	license     = "MIT",
	author      = "Quillet",
	description = [[Test-only: passes MIDI through and keeps every event it sees, with its sample time, in shared memory for scripts/ardour-check]]
}

-- The shared memory is an int array that the session script reads after the
-- run: [1] the number of events seen, [2] the samples processed so far, then
-- one slot per event: its time in samples since the first cycle, its size
-- and its first three bytes (-1 where the event is shorter). Only the audio
-- thread writes; the session script reads once the run is over.
local capacity = 256
local slot = 5

function dsp_ioconfig ()
	return { { midi_in = 1, midi_out = 1, audio_in = -1, audio_out = -1 } }
end

function dsp_init (rate)
	self:shmem ():allocate (2 + capacity * slot)
	self:shmem ():clear ()
	elapsed = 0
end

function dsp_configure (ins, outs)
	n_out = outs
end

function dsp_runmap (bufs, in_map, out_map, n_samples, offset)
	ARDOUR.DSP.process_map (bufs, n_out, in_map, out_map, n_samples, offset)
	local mem = self:shmem ():to_int (0):array ()
	local ib = in_map:get (ARDOUR.DataType ("midi"), 0)
	if ib ~= ARDOUR.ChanMapping.Invalid then
		for _, e in pairs (bufs:get_midi (ib):table ()) do
			local n = mem[1]
			if n < capacity then
				local base = 2 + n * slot
				local bytes = e:buffer ():array ()
				mem[base + 1] = elapsed + e:time ()
				mem[base + 2] = e:size ()
				for j = 1, 3 do
					mem[base + 2 + j] = j <= e:size () and bytes[j] or -1
				end
			end
			mem[1] = n + 1
		end
	end
	elapsed = elapsed + n_samples
	mem[2] = elapsed
end
