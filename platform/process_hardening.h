#pragma once
// What every program of the system does first, before it sees a passphrase:
// no core dump and no ptrace attach by other processes of the same user
// (either would expose key material and plaintext), and a file-size limit
// that ends in a failed write instead of a killed process.

// True when every step took effect. Safe to call more than once.
bool HardenProcess();
