#!/usr/bin/env python3
"""Writes the hand-made inputs of the fuzz corpus (tests/fuzz/corpus/).

Each input is spelled in the layout its target reads (see the comment at the
top of ChunkFuzz.cpp, DispatcherFuzz.cpp and EventFuzz.cpp). Inputs that the
fuzzer found are kept beside these as they were found; this script only
rewrites its own files.

    tests/fuzz/make-seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

# Bytes::OddValue's table, Bytes::OddFloat's table and ChunkFuzz's sizes.
ODD_VALUES = [0, 1, -1, 2, 5, 15, 16, 127, 128, 129, 255, 256, 263, 264, 265, 275,
              276, 277, 1000, 33807, 33808, 33809, 35327, 35328, 35329, 40000,
              0x7FFFFFFF, -0x80000000, -2, -128, -129, 65536, 1 << 24, 0x10000000,
              0x40000000]
FLOATS = ["0", "1", "0.5", "0.5-", "0.5+", "-0", "-1", "2", "1e-10", "1e-11", "1/999",
          "3/999", "1/16", "1/128", "127.5/128", "1e10", "-1e10", "3e9", "max", "lowest",
          "denorm", "inf", "-inf", "nan", "-nan"]
SIZES = [0, 1, 2, 4, 100, 263, 264, 265, 266, 267, 268, 269, 270, 271, 272, 273, 274,
         275, 276, 277, 280, 552, 33807, 33808, 33809, 35327, 35328, 35329, 40000, 70656,
         299, 363, 364, 365, 35352, 43543, 43544, 43545, 547, 548, 65063, 65064]


def u8(v):
    return bytes([v & 0xFF])


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def odd_value(v):
    if v in ODD_VALUES:
        return u8(ODD_VALUES.index(v))
    return u8(160) + u32(v)


def odd_float(name=None, fraction=None):
    if fraction is not None:
        return u8(128) + u16(round(fraction * 65535))
    return u8(FLOATS.index(name))


def odd_index(i):
    assert -5 <= i <= 250
    return u8(0) + u8(i + 5)


def write(target, name, data, faults=False):
    folder = os.path.join(CORPUS, "faults", target) if faults else os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ----------------------------------------------------------------- chunks

def chunk_mode(program, host=0, shape=0):
    return u8((1 if program else 0) | (host << 1) | (shape << 3))


def setup(*steps):
    return u8(len(steps)) + b"".join(steps)


def set_option(index, name):
    # SetUp step 1: parameter 3 + n (3..7) to an odd float.
    return u8(1) + u8(index - 3) + odd_float(name)


def set_strip_field(index, byte):
    # SetUp step 2: parameter 8 + n to byte / 255.
    return u8(2) + u8(index - 8) + u8(byte)


def set_wide(kind_index, kind_choice, wide_index, byte):
    # SetUp step 6: kind parameter 200 + n to one of 0, 1, 2/16, 3/16, 4/16,
    # then wide parameter 239 + n to byte / 255.
    return u8(6) + u8(kind_index - 200) + u8(kind_choice) + u8(wide_index - 239) + u8(byte)


def mutation_int(offset, value):
    return u32(offset) + u8(2) + odd_value(value)


def mutation_byte(offset, value):
    return u32(offset) + u8(0) + u8(value)


def live(program, steps, mutations, host=0):
    return (chunk_mode(program, host, 3) + setup(*steps) + u8(1) + u8(len(mutations)) +
            b"".join(mutations))


def record(name=b"seed", thru=1, switching=0, on_change=0, on_init=0, init_delay=0,
           change_delay=0, strips=((0, 1, 8, 101, 1, 2, 61, 128),)):
    data = bytearray(276)
    data[0:len(name)] = name
    order = [16] * 16
    for i, (fa, ca, na, va, fb, cb, nb, vb) in enumerate(strips):
        base = 48 + 9 * i
        data[base:base + 9] = bytes([1, fa, fb, ca, cb, na, nb, va, vb])
        order[i] = i
    data[192:256] = struct.pack("<16i", *order)
    data[256:260] = struct.pack("<i", len(strips))
    data[261] = thru
    data[262] = switching
    data[263] = on_change
    data[264] = on_init
    data[268:276] = struct.pack("<ii", init_delay, change_delay)
    return bytes(data)


def chunks():
    for program in (False, True):
        kind = "program" if program else "bank"
        for i, size in enumerate(SIZES):
            write("chunks", f"size-{kind}-{size}",
                  chunk_mode(program, 0, 2) + setup() + u32(i))
        write("chunks", f"null-{kind}-35328", chunk_mode(program, 0, 6) + setup() +
              u32(SIZES.index(35328)))
        write("chunks", f"null-{kind}-276", chunk_mode(program, 0, 6) + setup() +
              u32(SIZES.index(276)))
        write("chunks", f"other-kind-{kind}", chunk_mode(program, 0, 5) + setup() + u8(1) +
              u8(0))
        for host, label in ((1, "bidule"), (2, "silent"), (3, "long-product")):
            write("chunks", f"host-{label}-{kind}",
                  chunk_mode(program, host, 3) + setup(u8(3) + u8(1)) + u8(1) + u8(0))
    # A user's state: strips, options and a long name, saved and mutated.
    steps = [set_option(5, "1"), set_option(6, "0"), set_strip_field(40, 16),
             set_strip_field(72, 2), set_strip_field(104, 200),
             u8(4) + u8(60) + bytes(range(60))]
    write("chunks", "live-program-user-state", live(True, steps, []))
    write("chunks", "live-bank-user-state", live(False, steps, []))
    write("chunks", "live-bank-loaded-twice",
          chunk_mode(False, 0, 7) + setup(*steps) + u8(1) + u8(0))
    # Version 2 of the extension: an NRPN, an RPN and a 14-bit CC with
    # their wide fields, saved with the tail and mutated in it.
    wide = [set_strip_field(40, 16), set_wide(200, 2, 239, 128), set_wide(216, 3, 287, 255),
            set_wide(201, 4, 240, 3), set_wide(201, 4, 304, 255)]
    write("chunks", "live-bank-wide-kinds", live(False, wide, []))
    write("chunks", "live-program-wide-kinds", live(True, wide, []))
    write("chunks", "live-bank-wide-tail-size",
          live(False, wide, [mutation_int(43544, 16), mutation_byte(43544 + 16, 0xFF)]))
    write("chunks", "live-program-wide-version-3", live(True, wide, [mutation_byte(276 + 4, 3)]))
    # Version 4: a program chunk with a dump, its request and don't-care
    # bytes after the SysEx section; as it stands, and as the live chunk it
    # makes mutated in its don't-care section.
    dump = sysex_message([0x7D, 0x10, 0x20], 40)
    request = sysex_message([0x7D, 0x10, 0x11], 5)
    section = sysex_section(request, [dump]) + u8(2) + u16(6) + u16(30)
    tail_bytes = 16 + 160 + len(section)
    v4 = (record() + b"QXEX" + struct.pack("<iii", 4, 0, 0) + bytes(8) + bytes(64) +
          struct.pack("<ii", tail_bytes, 0) + struct.pack("<HBBB", 2000, 1, 0, 0) + bytes(3) +
          bytes(160) + section)
    write("chunks", "program-dont-care", chunk_mode(True, 0, 0) + setup() + v4)
    write("chunks", "program-dont-care-twice",
          chunk_mode(True, 0, 0) + setup() + v4[:-5] + u8(2) + u16(30) + u16(30))
    # Delays at the edges the dials cannot reach (the plain build only
    # replays these; the fuzz build checks the conversions).
    write("chunks", "live-program-negative-delays",
          live(True, [set_option(5, "1"), set_option(3, "1")],
               [mutation_int(268, -1), mutation_int(272, -1)]))
    write("chunks", "live-program-delay-999",
          live(True, [set_option(5, "1")], [mutation_int(272, 0x3E7 * 1)]))
    # The strip order and count out of range.
    write("chunks", "live-program-strip-order-garbage",
          live(True, [], [mutation_int(192, -1), mutation_int(196, 0x7FFFFFFF),
                          mutation_int(256, 1000)]))
    # A raw current record and the older record it starts with.
    full = record(on_change=1)
    write("chunks", "raw-program-276", chunk_mode(True, 0, 0) + setup() + full)
    write("chunks", "raw-program-264", chunk_mode(True, 0, 0) + setup() + full[:264])
    # An older bank, made by repeating one older record: the trailer after
    # the 128 records repeats the record's first 16 bytes, so the record's
    # name field spells the trailer (switching on, send on init on, change
    # delay 7, init delay 3).
    trailer = bytes(4) + bytes([1, 0, 1, 0]) + struct.pack("<ii", 7, 3)
    older = record(name=trailer, on_init=1)[:264]
    write("chunks", "older-bank-33808",
          chunk_mode(False, 0, 2) + setup() + u32(SIZES.index(33808)) + older)

    # Faults: a change delay of 0x7FFFFFFF seconds with send on change, and
    # a stored channel above 16 (channel 65 makes the status byte 0xF0).
    write("chunks", "program-change-delay-int-max",
          live(True, [set_option(5, "1")], [mutation_int(272, 0x7FFFFFFF)]), faults=True)
    write("chunks", "program-init-delay-int-max",
          live(True, [set_option(3, "1")], [mutation_int(268, 0x7FFFFFFF)]), faults=True)
    write("chunks", "program-channel-65",
          live(True, [set_strip_field(72, 8), set_strip_field(104, 101)],
               [mutation_byte(48 + 3, 65), mutation_byte(263, 1)]), faults=True)


# ------------------------------------------------------------- dispatcher

def call(opcode, ptr=0, index=0, value=0, opt="0", text=b"", raw=b""):
    """One dispatcher step: ptr 0 null, 1 zeroed buffer, 2 text, 3 bytes."""
    step = u8(opcode + 5) + u8(ptr)
    if ptr == 2:
        step += u16(len(text)) + text
    elif ptr == 3:
        step += u16(len(raw)) + raw
    step += odd_index(index) + odd_value(value) + odd_float(opt)
    if opcode == 25:
        step += u8(0)  # an empty event list
    return step


def block(frames_index=5, accumulate=0):
    return u8(240) + u8(frames_index) + u8(accumulate)


def pump():
    return u8(248)


def set_parameter(index, name):
    return u8(212) + odd_index(index) + odd_float(name)


def dispatcher():
    write("dispatcher", "every-opcode-null",
          b"".join(call(op) for op in range(-5, 101) if op != 1))
    write("dispatcher", "every-opcode-zero-buffer",
          b"".join(call(op, ptr=1) for op in range(-5, 101) if op not in (1, 14)))
    write("dispatcher", "every-opcode-text",
          b"".join(call(op, ptr=2, text=b"receiveVstMidiEvent" * 3, index=3, value=33808)
                   for op in range(-5, 101) if op not in (1, 14)))
    write("dispatcher", "odd-values",
          b"".join(call(op, ptr=1, index=-5, value=v, opt=f)
                   for op in (2, 10, 11, 12, 23, 24, 29, 43, 61, 73, 74)
                   for v, f in ((-1, "inf"), (0x7FFFFFFF, "-1"), (-0x80000000, "1e10"),
                                (128, "max"))))
    write("dispatcher", "programs-at-the-edges",
          b"".join(call(2, value=v) + call(3) + call(5, ptr=1)
                   for v in (-5, -1, 0, 127, 128, 0x7FFFFFFF, -0x80000000)))
    write("dispatcher", "long-program-name",
          call(4, ptr=2, text=b"n" * 299) + call(5, ptr=1) + call(29, ptr=1, index=0))
    write("dispatcher", "chunk-sizes",
          b"".join(call(24, ptr=1, index=i, value=v) + call(23, ptr=1, index=i)
                   for i in (0, 1) for v in (0, 1, 263, 264, 265, 275, 276, 277, 33807,
                                             33808, 33809, 35327, 35328, 35329, 40000)))
    write("dispatcher", "editor-open-idle-close",
          call(13, ptr=1) + call(14, ptr=1, value=1) + pump() + block() + pump() +
          call(19) + call(15) + call(14, ptr=1, value=0) + pump() + call(15))
    write("dispatcher", "editor-keys-and-knob-mode",
          call(14, ptr=1, value=1) + call(59, index=65, value=1, opt="1") +
          call(60, index=65, value=1, opt="2") + call(61, value=2) + call(15))
    write("dispatcher", "parameters-and-blocks",
          set_parameter(1, "1") + block() + set_parameter(0, "1") + block(0) +
          set_parameter(0, "0") + block(7, 1) + set_parameter(6, "1/999") + call(2, value=3) +
          block() + u8(228) + odd_index(141) + u8(252) + block())
    # Faults: the message box of a newer bank on the toolkit's own
    # connection, then the editor without and with the host's display, then
    # the box again. It hangs now and then (the two connections' locks taken
    # in opposite orders), or the own connection's pump paints a dial of the
    # panel that the plug-in's close is deleting.
    newer = call(24, ptr=1, value=40000)
    write("dispatcher", "newer-bank-then-editor-own-then-host-display",
          newer + call(14, ptr=1, value=0) + pump() + call(15) + call(14, ptr=1, value=1) +
          pump() + call(2, value=3) + pump() + newer + pump() + call(15), faults=True)

    # Faults: a host that closes its display connection after effEditClose,
    # then closes the plug-in, or opens the editor again on a new connection.
    reconnect = u8(254)
    write("dispatcher", "host-closes-display-then-closes-plugin",
          call(14, ptr=1, value=1) + pump() + call(15) + reconnect, faults=True)
    write("dispatcher", "host-closes-display-then-opens-anew",
          call(14, ptr=1, value=1) + pump() + call(15) + reconnect + call(14, ptr=1, value=1) +
          pump() + call(15), faults=True)
    # The plug-in's own vendor call (50, value odd: the call, its size the
    # value halved): a one-message SysEx section whole, one byte short, and
    # the same bytes with a dump request in the section.
    section = u32(0) + u32(1) + u32(4) + bytes([0xF0, 0x7D, 0x01, 0xF7])
    requested = u32(2) + bytes([0xF0, 0xF7]) + u32(1) + u32(4) + bytes([0xF0, 0x7D, 0x01, 0xF7])
    write("dispatcher", "own-vendor-call-sysex",
          call(50, ptr=3, raw=section, value=2 * len(section) + 1) +
          call(50, ptr=3, raw=section, value=2 * len(section) - 1) +
          call(50, ptr=3, raw=requested, value=2 * len(requested) + 1) +
          set_parameter(0, "1") + block())
    # The LV2 edition's packed events (50, value 2, a zeroed buffer): a
    # note on and its note off, an event of no MIDI size, a controller, with
    # thru on, written into a room of three events.
    def packed_event(frame_step, body, size=None):
        sized = u8(1) + u8(len(body) - 1) if size is None else u8(0) + u8(size)
        return u8(frame_step) + sized + u8(1) + bytes(body + [0] * (3 - len(body)))
    packed = (u8(4) + u8(1) + u8(1) + u16(512) +
              packed_event(3, [0x90, 0x3C, 0x64]) + packed_event(10, [0x80, 0x3C, 0x00]) +
              packed_event(12, [0xB0, 0x07], size=9) + packed_event(14, [0xB0, 0x07, 0x64]) +
              u8(1) + u16(3 * 24))
    write("dispatcher", "own-vendor-call-packed-events",
          block() + set_parameter(1, "1") + call(50, ptr=1, value=2) + packed + block())
    # Faults: a NaN modifier for the key opcodes.
    write("dispatcher", "key-down-nan-modifier", call(59, index=65, value=1, opt="nan"),
          faults=True)
    write("dispatcher", "key-up-huge-modifier", call(60, index=65, value=1, opt="1e10"),
          faults=True)


# ----------------------------------------------------------------- events

def event_list(count, template, varies=b"", frames_index=5):
    assert len(template) == 8
    return u8(0) + u16(count) + bytes(template) + varies + u8(frames_index)


def events():
    thru = 1
    switching = 2
    on_change = 4
    strip = 8
    accumulate = 16
    suspends = 32
    # Note ons (channel 1, notes 0.., velocity 64), then thru off: the
    # release takes two blocks.
    notes = event_list(16, [2, 0, 0, 0, 0x90, 0, 0x40, 0])
    write("events", "notes-then-thru-off",
          u8(thru) + notes + u8(220) + u8(0) + u8(160) + u8(5) + u8(160) + u8(5))
    write("events", "note-offs-never-seen",
          u8(thru) + event_list(16, [2, 0, 0, 0, 0x80, 0, 0x40, 0]) + u8(160) + u8(5))
    write("events", "program-changes-switching",
          u8(thru | switching | on_change | strip) + u8(1) + bytes([0, 2, 3, 4, 5]) +
          bytes([5, 4, 3, 2, 1]) +
          event_list(4, [2, 0, 0, 0, 0xC0, 5, 0, 0]) + u8(160) + u8(5))
    write("events", "three-hundred-events",
          u8(thru) + event_list(300, [2, 0, 1, 0, 0xB0, 7, 0x40, 0]))
    write("events", "a-thousand-events-several-lists",
          u8(thru | accumulate) + u8(248) + u8(3) +
          u16(1000) + bytes([2, 0, 3, 0, 0x90, 0, 0x7F, 2]) +
          u16(1000) + bytes([2, 0, 3, 0, 0x80, 0, 0x00, 2]) +
          u16(1000) + bytes([2, 0, 3, 0, 0xE0, 0, 0x40, 0]) +
          u16(1000) + bytes([2, 0, 3, 0, 0xF8, 0, 0x00, 0]) + u8(7))
    write("events", "other-types",
          u8(thru) + event_list(40, [0, 0, 0, 0, 0x90, 0, 0x40, 0x81], bytes(range(40))))
    write("events", "suspended-blocks",
          u8(thru | suspends) + u8(240) + u16(8) + bytes([2, 0, 0, 0, 0x90, 0, 0x40, 0]) +
          notes + u8(240) + u16(8) + bytes([2, 0, 0, 0, 0x80, 0, 0x40, 0]))
    write("events", "resend-and-programs",
          u8(strip | on_change) + u8(2) + bytes([0, 3, 7, 9, 11, 9, 3, 7, 9, 11, 5, 3, 7, 9, 11]) +
          u8(200) + u8(160) +
          u8(5) + u8(230) + u8(9) + u8(160) + u8(5) + u8(200) + u8(160) + u8(0))
    write("events", "delta-frames-odd",
          u8(thru) + event_list(64, [2, 0, 0x90, 1, 0x90, 0, 0x40, 0]) +
          event_list(64, [2, 0, 0x7F, 1, 0x80, 0, 0x40, 0], frames_index=0))
    # Template byte 0 bit 5: delta frames INT32_MIN, INT32_MAX and near them.
    write("events", "delta-frames-extreme",
          u8(thru | strip) + u8(0) + bytes([0, 0, 7, 99, 0]) +
          event_list(20, [0x22, 0, 0, 0, 0x90, 0, 0x40, 0]) +
          event_list(20, [0x22, 0, 0, 0, 0xB0, 0, 0x40, 0], frames_index=7) + u8(200) + u8(160) +
          u8(3))

    # Fault: a thru event whose byte size claims 1000 bytes goes back to the
    # host with that claim, though the plug-in holds only its 32 bytes.
    write("events", "thru-byte-size-1000",
          u8(thru) + event_list(1, [2, 8, 0, 0, 0xB0, 7, 0x40, 0]), faults=True)


# Lv2Fuzz's layout: a sequence event is a kind byte, a frame choice (with
# its bytes) and the event's own bytes.
LV2_RUNS = [0, 1, 64, 511, 512, 513, 1500, 5000]
LV2_STATE_SIZES = [0, 1, 100, 33807, 33808, 33809, 35327, 35328, 35329, 43543, 43544, 43545,
                   50000, 70656]


# Lv2Fuzz's table of extreme frames (frame choice 6).
LV2_EXTREME_FRAMES = [-2**63, -2**63 + 1, 2**63 - 1, 2**63 - 2, -1, -2**31, 2**31 - 1, 2**32 - 1,
                      2**32, -2**32, 2**62, -2**62]


def lv2_frame(frame):
    """A frame choice: None for 0, a frame of the table, any other 64-bit
    frame (choice 7), or a frame inside the run (choice 1)."""
    if frame is None:
        return u8(0)
    if frame in LV2_EXTREME_FRAMES:
        return u8(6) + u8(LV2_EXTREME_FRAMES.index(frame))
    if frame < 0 or frame >= 2**32:
        word = frame & 0xFFFFFFFFFFFFFFFF
        return u8(7) + u32(word >> 32) + u32(word)
    return u8(1) + u32(frame)


def lv2_short(message, frame=None):
    return u8(0) + lv2_frame(frame) + u8(len(message) - 1) + bytes(message)


def lv2_sysex(body, ended=True, frame=0):
    return u8(0x83 if ended else 0x03) + lv2_frame(frame) + u16(len(body)) + bytes(body)


def lv2_position(speed_name, frame=0):
    return u8(4) + lv2_frame(frame) + odd_float(speed_name)


def lv2_sequence(events, run=512):
    return u8(0) + u8(LV2_RUNS.index(run)) + u8(len(events)) + b"".join(events)


def lv2_state(own, size, bank_type=0, program=b"\x03\x00\x00\x00"):
    kind = (1 if own else 0) | 8
    out = u8(190) + u8(kind) + u8(LV2_STATE_SIZES.index(size))
    if own:
        out += u8(0)  # no edits
    else:
        out += bytes(size)
    return out + u8(bank_type) + program


def lv2():
    worker, block, room = 1, 2, 3 << 2
    write("lv2", "notes-sysex-and-a-position",
          u8(worker | block | room) +
          lv2_sequence([lv2_short([0x90, 0x3C, 0x64], 10), lv2_short([0xC0, 0x05], 20),
                        lv2_sysex([0x43, 0x10, 0x01], frame=30), lv2_position("1", 200),
                        lv2_short([0xF8], 300)]) +
          lv2_sequence([lv2_position("0"), lv2_short([0x80, 0x3C, 0x00], 5)], run=1500))
    write("lv2", "events-past-and-before-the-block",
          u8(worker | room) +
          lv2_sequence([u8(0) + u8(2) + u8(40) + u8(2) + bytes([0xB0, 7, 0x40]),
                        u8(0) + u8(3) + u16(900) + u8(2) + bytes([0xB0, 7, 0x41]),
                        lv2_sysex([0x7E] * 200, ended=False)], run=64))
    write("lv2", "ports-odd-values",
          u8(worker | block | room) + u8(150) + u8(2) + odd_float("nan") +
          u8(150) + u8(1) + odd_float("inf") + u8(150) + u8(0) + odd_float("1") +
          lv2_sequence([]) + u8(150) + u8(2) + odd_float("1e10") + lv2_sequence([]) +
          u8(150) + u8(2) + odd_float("-1e10") + lv2_sequence([]))
    write("lv2", "states-of-every-kind",
          u8(worker | block | room) + lv2_state(True, 35328) + lv2_sequence([]) +
          lv2_state(False, 100) + lv2_state(False, 35327) +
          lv2_state(True, 43544, bank_type=2) + lv2_state(True, 33808) + u8(230) +
          lv2_sequence([]))
    write("lv2", "a-small-output-port",
          u8(worker | block) +
          lv2_sequence([lv2_short([0x90, n, 0x40], n) for n in range(40)]) +
          u8(240) + u8(4))
    # Out of time order (option bit 4), after a cut at the host's block
    # length and after one at a transport change: frames at the ends of the
    # 64-bit range are subtracted from a sub-block's start that is not 0.
    unordered = 16
    extremes = [-2**63, 2**63 - 1, -1, -2**62, 2**62, 2**32, -2**63 + 5]
    write("lv2", "extreme-frames-out-of-order",
          u8(worker | block | room | unordered) +
          lv2_sequence([lv2_short([0xB0, 1, 1], 600)] +
                       [lv2_short([0xB0, 2, n], f) for n, f in enumerate(extremes)] +
                       [lv2_sysex([0x7E, 0x01], frame=-2**63)], run=1500) +
          lv2_sequence([lv2_position("1", 200)] +
                       [lv2_short([0x90, 0x3C, 0x40], f) for f in extremes] +
                       [lv2_position("0", -2**63 + 1)], run=512))
    write("lv2", "extreme-frames-in-time-order",
          u8(worker | block | room) +
          lv2_sequence([lv2_short([0x90, 0x40, n + 1], f)
                        for n, f in enumerate(sorted(LV2_EXTREME_FRAMES))], run=5000))
    write("lv2", "raw-sequence",
          u8(worker | block | room) + u8(120) + u8(8) + bytes(range(48)) + u32(1000) + u8(4))


# ------------------------------------------------------------------ sysex

def sysex_message(head, size, fill=0x11):
    body = bytes(head) + bytes([fill]) * (size - 2 - len(head))
    return bytes([0xF0]) + body + bytes([0xF7])


def sysex_section(request, messages):
    out = u32(len(request)) + request + u32(len(messages))
    for m in messages:
        out += u32(len(m)) + m
    return out


def sysex():
    # Even first byte: a section; odd: a .syx file (see SysExFuzz.cpp).
    edit = sysex_message([0x3E, 0x13, 0x00, 0x10], 392)
    dump = [sysex_message([0x41, 0x10, p, p], 120, p) for p in range(8)]
    request = sysex_message([0x3E, 0x13, 0x00, 0x03], 6)
    write("sysex", "section-empty", u8(0) + sysex_section(b"", []))
    write("sysex", "section-request-and-dump", u8(0) + sysex_section(request, dump))
    write("sysex", "section-cut", u8(0) + sysex_section(request, [edit])[:-3])
    write("sysex", "section-count-too-large", u8(0) + u32(0) + u32(40000) + u32(2) + b"\xf0\xf7")
    # A section followed by its don't-care section: count, then uint16 offsets.
    write("sysex", "section-and-dont-care",
          u8(0) + sysex_section(request, dump) + u8(3) + u16(6) + u16(40) + u16(65535))
    write("sysex", "section-and-dont-care-descending",
          u8(0) + sysex_section(request, dump) + u8(2) + u16(40) + u16(6))
    write("sysex", "syx-edit-buffer", u8(1) + edit)
    write("sysex", "syx-bank-dump", u8(1) + b"".join(dump))
    write("sysex", "syx-no-end", u8(1) + edit[:-1])
    write("sysex", "syx-stray-byte", u8(1) + edit + b"\x41" + edit)
    write("sysex", "syx-status-inside", u8(1) + b"\xf0\x43\x90\x01\xf7")


if __name__ == "__main__":
    chunks()
    dispatcher()
    events()
    lv2()
    sysex()
