// Sends one TSL UMD 5.0 message with the tsl-umd-v5 package, as a tally
// controller would: node tsl5_send.js HOST PORT udp|tcp SCREEN INDEX LEFT RIGHT [TEXT]
const TSL5 = require('tsl-umd-v5');

const [host, port, proto, screen, index, left, right, text] = process.argv.slice(2);
const umd = new TSL5();
const tally = {
  screen: Number(screen),
  index: Number(index),
  display: { rh_tally: Number(right), text_tally: 0, lh_tally: Number(left), brightness: 3, text: text || '' },
};
if (proto === 'tcp') umd.sendTallyTCP(host, Number(port), tally);
else umd.sendTallyUDP(host, Number(port), tally);
