#pragma once

// For tests only: makes Crypt::encrypt use this 12-byte nonce instead of a
// fresh random one (null goes back to random nonces), so that a fixed key
// and text give a known cipher text on every host.
namespace crypt_testing {
void fixNonce(const unsigned char* nonce);
}
