// The npm Socket.IO client's side of bench/socketio.sh: receives what the server's bench mode
// sends (see server.js) and prints the same figures as bench/socketio_receiver.cpp.
//
//   node bench_client.js <url> burst <n> <size>    prints "rate <messages per second>"
//   node bench_client.js <url> latency <n>         prints "latency <median µs> <p99 µs>"
const { io } = require('socket.io-client');

const [url, mode, n, size] = [process.argv[2], process.argv[3], Number(process.argv[4]), Number(process.argv[5] || 0)];
const domain = mode === 'burst' ? `bench-burst-${n}-${size}` : `bench-latency-${n}`;
const socket = io(url, { transports: ['websocket'], query: { domain }, reconnection: false });

const sent = [];
const arrived = [];
socket.on('message', (message) => {
  arrived.push(process.hrtime.bigint());
  sent.push(BigInt(message.t));
  if (arrived.length < n) return;
  if (mode === 'burst') {
    const seconds = Number(arrived[n - 1] - sent[0]) / 1e9;
    console.log(`rate ${(n / seconds).toFixed(0)}`);
  } else {
    const micros = arrived.map((a, i) => Number(a - sent[i]) / 1e3).sort((a, b) => a - b);
    console.log(`latency ${micros[Math.floor(n / 2)].toFixed(1)} ${micros[Math.floor(n * 0.99)].toFixed(1)}`);
  }
  socket.close();
  process.exit(0);
});
setTimeout(() => { console.error('timed out'); process.exit(1); }, 60000);
