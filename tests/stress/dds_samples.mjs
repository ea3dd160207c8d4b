// DDS files of one colour, for replacements whose result is easy to recognise.

function header(width, height, fourCc, linearSize) {
  const bytes = Buffer.alloc(128);
  bytes.write('DDS ', 0, 'latin1');
  bytes.writeUInt32LE(124, 4);
  bytes.writeUInt32LE(0x81007, 8);  // caps, height, width, pixel format, linear size
  bytes.writeUInt32LE(height, 12);
  bytes.writeUInt32LE(width, 16);
  bytes.writeUInt32LE(linearSize, 20);
  bytes.writeUInt32LE(32, 76);
  bytes.writeUInt32LE(4, 80);  // four-cc
  bytes.write(fourCc, 84, 'latin1');
  bytes.writeUInt32LE(0x1000, 108);
  return bytes;
}

// Blocks of one RGB565 colour; DXT3 blocks carry opaque alpha first.
function blocks(width, height, blockBytes, colour565) {
  const data = Buffer.alloc((width / 4) * (height / 4) * blockBytes);
  for (let at = 0; at < data.length; at += blockBytes) {
    const colourAt = at + blockBytes - 8;
    if (blockBytes === 16) data.fill(0xff, at, colourAt);
    data.writeUInt16LE(colour565, colourAt);
    data.writeUInt16LE(colour565, colourAt + 2);
  }
  return data;
}

export function solidDxt1(width, height, colour565) {
  const data = blocks(width, height, 8, colour565);
  return Buffer.concat([header(width, height, 'DXT1', data.length), data]);
}

export function solidDxt3(width, height, colour565) {
  const data = blocks(width, height, 16, colour565);
  return Buffer.concat([header(width, height, 'DXT3', data.length), data]);
}
