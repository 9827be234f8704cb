// A device library for the remote API's invoke tests: loaded from a device root like the
// handheld's sync library, with block-mode exports that show what they were handed.
#include <cstdlib>
#include <cstring>

#include "platform/win_types.h"

using quillet::BYTE;
using quillet::DWORD;
using quillet::HRESULT;

struct InvokeDevice {
  DWORD cbSize;
  const char* deviceRoot;
};

extern "C" {

// Answers the input bytes reversed, followed by the device root it was told it runs on.
__attribute__((visibility("default"))) HRESULT ReverseAndRoot(DWORD cbInput, BYTE* pInput,
                                                              DWORD* pcbOutput, BYTE** ppOutput,
                                                              InvokeDevice* device) {
  const std::size_t rootLength = device && device->deviceRoot ? std::strlen(device->deviceRoot) : 0;
  auto* out = static_cast<BYTE*>(std::malloc(cbInput + rootLength + 1));
  if (!out) return static_cast<HRESULT>(0x8007000Eu);
  for (DWORD i = 0; i < cbInput; ++i) out[i] = pInput[cbInput - 1 - i];
  if (rootLength) std::memcpy(out + cbInput, device->deviceRoot, rootLength);
  // Scribbling over the input must not reach the caller's bytes.
  if (cbInput) std::memset(pInput, 0xEE, cbInput);
  *pcbOutput = static_cast<DWORD>(cbInput + rootLength);
  *ppOutput = out;
  return 1;
}

// Fails with the number given in its 4 input bytes, with no output.
__attribute__((visibility("default"))) HRESULT FailWith(DWORD cbInput, BYTE* pInput,
                                                        DWORD* pcbOutput, BYTE** ppOutput,
                                                        InvokeDevice*) {
  HRESULT hr = 0;
  if (cbInput == 4) std::memcpy(&hr, pInput, 4);
  *pcbOutput = 0;
  *ppOutput = nullptr;
  return hr;
}
}
