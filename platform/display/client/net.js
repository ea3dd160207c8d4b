// Talking to korvel: input goes out as one JSON object per POST; pointer
// moves wait for the next animation frame, so at most one is sent per frame.

let pendingMove = null;

export function send(input) {
  if (input.type !== 'mouse' || input.action !== 'move') flushMove();
  return fetch('/input', {
    method: 'POST',
    headers: {'Content-Type': 'application/json'},
    body: JSON.stringify(input),
  }).catch(() => {});
}

export function sendMove(input) {
  const first = pendingMove === null;
  pendingMove = input;
  if (first) requestAnimationFrame(flushMove);
}

function flushMove() {
  if (pendingMove === null) return;
  const move = pendingMove;
  pendingMove = null;
  send(move);
}

export function modifiers(event) {
  return {ctrl: !!event.ctrlKey, shift: !!event.shiftKey, alt: !!event.altKey};
}
