// A TSL UMD 5.0 display made with the tsl-umd-v5 package: prints each
// message it receives on UDP PORT as one JSON line.
// node tsl5_receive.js PORT
const TSL5 = require('tsl-umd-v5');

const umd = new TSL5();
umd.on('message', (message) => {
  process.stdout.write(JSON.stringify(message) + '\n');
});
umd.listenUDP(Number(process.argv[2]));
