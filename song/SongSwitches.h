#pragma once

#include <atomic>
#include <cstdint>

// The process-wide processing switches that the loader, the priority proposal and the writer
// consult. The desktop program owns and persists them; the command-line tool sets them from
// its options. They are atomics because the batch worker reads them (and the loader may set
// the vibra mode) on its own thread. Defaults are the program's first-start values.
class SongSwitches {
public:
    // Drop SysEx events other than the MIP message while loading.
    static bool GetSysexStripping() { return sysexStripping_.load(std::memory_order_relaxed); }
    static void SetSysexStripping(bool on) { sysexStripping_.store(on, std::memory_order_relaxed); }
    // Propose priorities with the weighting system ("Priority OBLIX") instead of by channel.
    static bool GetPrioOblix() { return prioOblix_.load(std::memory_order_relaxed); }
    static void SetPrioOblix(bool on) { prioOblix_.store(on, std::memory_order_relaxed); }
    // 0: vibra triggers use program change 125; any other value: 124.
    static std::uint32_t GetVibraMode() { return vibraMode_.load(std::memory_order_relaxed); }
    static void SetVibraMode(std::uint32_t mode) {
        vibraMode_.store(mode, std::memory_order_relaxed);
    }
    // 0: reduced SP-MIDI instrument map; 1: full GM map.
    static std::uint32_t GetInstrumentMapIndex() {
        return instrumentMap_.load(std::memory_order_relaxed);
    }
    static void SetInstrumentMapIndex(std::uint32_t index) {
        instrumentMap_.store(index, std::memory_order_relaxed);
    }

private:
    static inline std::atomic<bool> sysexStripping_{true};
    static inline std::atomic<bool> prioOblix_{true};
    static inline std::atomic<std::uint32_t> vibraMode_{0};
    static inline std::atomic<std::uint32_t> instrumentMap_{0};
};
