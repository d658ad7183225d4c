#pragma once
// The application's title: the caption of message boxes and the start of every dialog caption.
inline constexpr const char* kAppTitle = "Tamber 2.23";
