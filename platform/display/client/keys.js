// Browser keys as the window system's virtual-key numbers.

const named = {
  Backspace: 0x08, Tab: 0x09, Enter: 0x0d, Shift: 0x10, Control: 0x11, Alt: 0x12,
  Pause: 0x13, CapsLock: 0x14, Escape: 0x1b, ' ': 0x20, PageUp: 0x21, PageDown: 0x22,
  End: 0x23, Home: 0x24, ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28,
  Insert: 0x2d, Delete: 0x2e, '+': 0x6b, '-': 0x6d, '*': 0x6a, '/': 0x6f,
};

export const VK = {
  RETURN: 0x0d, ESCAPE: 0x1b, LEFT: 0x25, UP: 0x26, RIGHT: 0x27, DOWN: 0x28,
  ADD: 0x6b, SUBTRACT: 0x6d, F2: 0x71, HOME: 0x24, END: 0x23,
};

export function virtualKey(event) {
  const key = event.key;
  if (key in named) return named[key];
  if (/^F([1-9]|1[0-2])$/.test(key)) return 0x6f + Number(key.slice(1));
  const code = event.code || '';
  if (/^Key[A-Z]$/.test(code)) return code.charCodeAt(3);
  if (/^Digit[0-9]$/.test(code)) return code.charCodeAt(5);
  if (/^Numpad[0-9]$/.test(code)) return 0x60 + Number(code.slice(6));
  if (code === 'Equal') return 0xbb;
  if (code === 'Minus') return 0xbd;
  return 0;
}
