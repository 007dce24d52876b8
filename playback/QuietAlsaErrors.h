#pragma once

// Holds back ALSA's error messages for its lifetime: opening a device that a machine without
// sound lacks makes ALSA print its reasons, while the engine reports the failure itself.
class QuietAlsaErrors {
public:
    QuietAlsaErrors();
    ~QuietAlsaErrors();
    QuietAlsaErrors(const QuietAlsaErrors&) = delete;
    QuietAlsaErrors& operator=(const QuietAlsaErrors&) = delete;
};
