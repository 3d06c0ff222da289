#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (run from any directory; rewrites the seed files)."""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..', '..'))


def frame(kind, payload=b''):
    body = bytes([kind, len(payload)]) + payload
    x = 0
    for b in body:
        x ^= b
    return b'\x55' + body + bytes([x])


def write(target, name, data):
    os.makedirs(os.path.join(HERE, target), exist_ok=True)
    with open(os.path.join(HERE, target, name), 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def exchange(op, answer):
    return bytes([op, len(answer)]) + answer


# Operations of fuzz_engine: 0 'A', 1 'H', 2 'D', 3 'a', 4 'c', 5 'e', 6 'g', 7 'h', 8 any code (op itself).
info = b'RK-9\x00\x00\x00\x00\x01\x04\x00\x00\x00\x00\x20\x00'
cycle = bytes.fromhex('2c01f40100000301e803aabb05cc02000a00')
session = (exchange(2, frame(0x5A, info)) + exchange(0, frame(0x5A)) + exchange(3, frame(0x5A, cycle)) +
           exchange(4, frame(0x5A, b'C-981\x00')) + exchange(5, frame(0x5A, b'T-417\x00')) +
           exchange(6, frame(0x5A, b'1.04\x00')) + exchange(7, frame(0x5A, b'RK-9 Crimp 6mm2\x00')))
write('engine', 'session', b'\x00' + session)
write('engine', 'session_split', b'\x02' + session)  # one byte per read
bad = bytearray(frame(0x5A, info))
bad[-1] ^= 0xFF
write('engine', 'bad_checksum_then_good', b'\x00' + exchange(2, bytes(bad)) + exchange(2, frame(0x5A, info)))
write('engine', 'noise', b'\x01' + exchange(1, b'\x01\x02' + frame(0x57, b'\x03') + frame(0xB2) + frame(0x5A)) +
      exchange(3, frame(0xA7)) + exchange(8 * 9 + 8, b'') + exchange(9 * 9 + 8, frame(0x5A)))
write('engine', 'long_texts', b'\x01' + exchange(7, frame(0x5A, b'X' * 40)) + exchange(4, frame(0x5A, b'\xe9\x81abc')) +
      exchange(5, frame(0x5A, b'no nul')) + exchange(3, frame(0x5A, b'\x01\x02')))
write('engine', 'late_reply', b'\x00' + exchange(1, b'') + exchange(1, frame(0x5A) + frame(0x5A)) + exchange(0, b''))

os.makedirs(os.path.join(HERE, 'resource_module'), exist_ok=True)
for name in ('builtin.json',):
    shutil.copy(os.path.join(ROOT, 'resources', name), os.path.join(HERE, 'resource_module', name))
write('resource_module', 'broken', '{"language": "xx", "strings": {"1": "a"')
write('resource_module', 'deep', '[' * 40 + ']' * 40)
write('resource_module', 'wrong_types', '{"language": 3, "strings": [], "dialogs": {"100": 1}}')

write('key_file', 'normal', '# Quarvel settings key\nsz:Language=0\nsz:1=/usr/share/quarvel/lang/fr.json\n'
      '4:COM=\\x03\\x00\\x00\\x00\nsz:SPEED=9\n')
write('key_file', 'damaged', 'sz:Language=0\nsz\nbad line\n4294967296:X=1\nsz:a\\x4=1\nsz:Language=2\nsz:cut=')
write('key_file', 'escapes', 'sz:\\x3D\\\\name=\xe9\xff\\x0A\n3:bin=\\x00\\x01\\x7F\n')

for i, m in enumerate(['baud=9600 parity=N data=8 stop=1', '9600,n,8,1', 'COM3: baud=115200 parity=E data=7 stop=2',
                       '96,e,7,1.5', 'baud=21600 xon=off to=on dtr=on rts=hs', 'baud=14400 stop=1.5', '19,o',
                       'baud= parity=X']):
    write('mode_string', 'mode%d' % i, m)

for i, p in enumerate(['1=/dev/pts/3,7=/dev/ttyUSB0', '256=/dev/ttyS0,001=/x,257=/y,0=/z', ',,=/a,5=,5=x,5=/b,5=/c',
                       '']):
    write('port_table', 'ports%d' % i, p)

# fuzz_utf16_reader: a byte choosing how lines are read, then the file.
bom = b'\xff\xfe'
write('utf16_reader', 'lines', b'\x00' + bom + 'Tool model : RK-9\r\nForce : 0.45 kN\r\n'.encode('utf-16-le'))
write('utf16_reader', 'odd', b'\x07' + bom + 'a\nb'.encode('utf-16-le') + b'\x00')
write('utf16_reader', 'surrogates', b'\x01' + bom + '\U0001F600 x\r'.encode('utf-16-le') + b'\x00\xd8\x0a\x00')
write('utf16_reader', 'no_bom', b'\x03' + 'plain\n'.encode('utf-16-le'))
write('utf16_reader', 'big_endian', b'\x02\xfe\xff' + 'ab\r\ncd'.encode('utf-16-be'))
