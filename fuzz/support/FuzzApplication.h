#pragma once

// The QGuiApplication that fonts, images and text measuring need, made once per process from
// LLVMFuzzerInitialize, on the offscreen platform (no display). It is never destroyed: libFuzzer
// ends the process from its own code.

namespace FuzzApplication {

void startGui();

} // namespace FuzzApplication
