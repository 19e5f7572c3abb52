// The Socket.IO server of the real-time channel's tests and benchmark.
//
//   node server.js --port N [--path /socket.io] [--cert file --key file]
//                  [--ping-interval ms] [--ping-timeout ms] [--commands no] [--deflate no]
//
// Listens on 127.0.0.1 only, WebSocket transport only, per-message deflate on (unless
// "--deflate no": the server's deflate, even for messages below its threshold, bounds a
// burst). Prints one line per happening on standard output: "listening <port>",
// "connection <handshake query as JSON>", "extensions <the WebSocket extensions agreed>",
// "disconnect <reason>". Reads one JSON command per line on standard input:
//   {"emit": [items...]}          emits "message" with those items to every client
//   {"emitBinary": "text"}        emits "message" with the text's bytes as a binary item
//   {"burst": n, "size": bytes}   emits n messages {"i", "t", "pad"}; t is the monotonic clock in ns
//   {"kick": true}                disconnects every client from the server's side
// With "--commands no" it reads nothing and runs until killed.
//
// A client whose "domain" query item is "refused" is refused by a middleware: the server prints
// "refused <handshake query as JSON>" for each attempt and answers with a connect error.
//
// The benchmark names what a client is to receive in its "domain" query item:
//   bench-burst-<n>-<size>   n messages {"i", "t", "pad"} as fast as the server can send them
//   bench-latency-<n>        n such messages, one every 10 ms
// where "t" is the server's monotonic clock in ns when it sent the message (the same clock as
// the receiver's steady clock on Linux), and "pad" holds <size> bytes.
const fs = require('fs');
const http = require('http');
const https = require('https');
const readline = require('readline');
const { Server } = require('socket.io');

const args = {};
for (let i = 2; i < process.argv.length; i += 2)
  args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];

const httpServer = args.cert
  ? https.createServer({ cert: fs.readFileSync(args.cert), key: fs.readFileSync(args.key) })
  : http.createServer();
const io = new Server(httpServer, {
  path: args.path || '/socket.io',
  transports: ['websocket'],
  perMessageDeflate: args.deflate === 'no' ? false : { threshold: 1024 },
  pingInterval: Number(args['ping-interval'] || 25000),
  pingTimeout: Number(args['ping-timeout'] || 20000),
});

io.use((socket, next) => {
  const { EIO, transport, ...query } = socket.handshake.query;
  if (query.domain !== 'refused') return next();
  console.log('refused ' + JSON.stringify(query));
  next(new Error('not allowed'));
});

io.on('connection', (socket) => {
  const { EIO, transport, ...query } = socket.handshake.query;
  console.log('connection ' + JSON.stringify(query));
  console.log('extensions ' + (socket.conn.transport.socket.extensions || ''));
  socket.on('disconnect', (reason) => console.log('disconnect ' + reason));
  const bench = /^bench-(burst|latency)-(\d+)(?:-(\d+))?$/.exec(query.domain || '');
  if (bench) setTimeout(() => sendBench(socket, bench[1], Number(bench[2]), Number(bench[3] || 0)), 200);
});

function benchMessage(i, pad) {
  return { i, t: process.hrtime.bigint().toString(), pad };
}

function sendBench(socket, mode, n, size) {
  const pad = 'x'.repeat(size);
  if (mode === 'burst') {
    for (let i = 0; i < n; i++) socket.emit('message', benchMessage(i, pad));
    return;
  }
  let i = 0;
  const next = () => {
    if (i >= n || socket.disconnected) return;
    socket.emit('message', benchMessage(i++, pad));
    setTimeout(next, 10);
  };
  next();
}

if (args.commands !== 'no') readline.createInterface({ input: process.stdin }).on('line', (line) => {
  const command = JSON.parse(line);
  if (command.emit) io.emit('message', ...command.emit);
  if (command.emitBinary) io.emit('message', Buffer.from(command.emitBinary));
  if (command.burst) {
    const pad = 'x'.repeat(command.size || 0);
    for (let i = 0; i < command.burst; i++)
      io.emit('message', { i, t: process.hrtime.bigint().toString(), pad });
  }
  if (command.kick) io.disconnectSockets(true);
});
if (args.commands !== 'no') process.stdin.on('end', () => process.exit(0));

httpServer.listen(Number(args.port), '127.0.0.1', () => console.log('listening ' + args.port));
