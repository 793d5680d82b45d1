#include "patches/FaceResolver.h"

#include <iterator>

namespace modroute {
namespace {

// What a kind resolved to: not yet, nothing, the configured face, or the
// fallback face kFallbackFaces[choice - kFirstFallback].
constexpr int kUnresolved = -1;
constexpr int kNoFace = 0;
constexpr int kConfiguredFace = 1;
constexpr int kFirstFallback = 2;

constexpr std::size_t SlotOf(FontKind kind) { return kind == FontKind::MingLiU ? 1 : 0; }

}  // namespace

struct FaceResolver::Snapshot {
    explicit Snapshot(FontSettings s) : settings(std::move(s)) {}

    struct Slot {
        std::atomic<int> choice{kUnresolved};
        std::atomic<bool> busy{false};
    };

    const FontSettings settings;
    Slot slots[2];
};

FaceResolver::FaceResolver(FaceInstalled isInstalled) : m_isInstalled(std::move(isInstalled)) {
    Refresh(FontSettings());
}

FaceResolver::~FaceResolver() = default;

void FaceResolver::Refresh(FontSettings settings) {
    auto snapshot = std::make_unique<Snapshot>(std::move(settings));
    std::lock_guard lock(m_refreshLock);
    m_current.store(snapshot.get(), std::memory_order_release);
    m_snapshots.push_back(std::move(snapshot));
}

const FontSettings& FaceResolver::Settings() const { return m_current.load(std::memory_order_acquire)->settings; }

int FaceResolver::ChooseFace(const FontSubstitution& substitution) const noexcept {
    if (!substitution.IsOn()) return kNoFace;
    try {
        if (m_isInstalled(substitution.gbkFace)) return kConfiguredFace;
        for (std::size_t i = 0; i < std::size(kFallbackFaces); ++i) {
            if (m_isInstalled(kFallbackFaces[i])) return kFirstFallback + static_cast<int>(i);
        }
    } catch (...) {
        // Resolved to nothing: the game's own font request goes through.
    }
    return kNoFace;
}

std::optional<ResolvedFace> FaceResolver::Resolve(FontKind kind) noexcept {
    Snapshot& snapshot = *m_current.load(std::memory_order_acquire);
    Snapshot::Slot& slot = snapshot.slots[SlotOf(kind)];
    const FontSubstitution& substitution = snapshot.settings.For(kind);

    int choice = slot.choice.load(std::memory_order_acquire);
    if (choice == kUnresolved) {
        if (slot.busy.exchange(true, std::memory_order_acq_rel)) {
            return ResolvedFace{kBusyFace, substitution.scale};
        }
        // Another call may have finished resolving between the two loads.
        choice = slot.choice.load(std::memory_order_acquire);
        if (choice == kUnresolved) {
            choice = ChooseFace(substitution);
            slot.choice.store(choice, std::memory_order_release);
        }
        slot.busy.store(false, std::memory_order_release);
    }

    if (choice == kNoFace) return std::nullopt;
    if (choice == kConfiguredFace) return ResolvedFace{substitution.gbkFace, substitution.scale};
    return ResolvedFace{kFallbackFaces[choice - kFirstFallback], substitution.scale};
}

}  // namespace modroute
