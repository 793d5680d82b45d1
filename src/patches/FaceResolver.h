// Decides once per kind which face replaces the game's font: the configured
// face when it is installed, else the first installed fallback face, else
// none. The installation test is injected (GDI enumeration in the game).
//
// Thread safety: Resolve runs on any game thread, lock-free. While one call
// resolves a kind, every other call for that kind -- from another thread, or
// from the same thread re-entered through the installation test -- gets
// kBusyFace at once. Refresh publishes a new settings snapshot with one atomic
// pointer store; earlier snapshots are kept until the resolver is destroyed,
// so a face handed out never changes or dangles while the resolver lives.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "patches/FontRules.h"

namespace modroute {

struct ResolvedFace {
    std::string_view gbkFace;  // valid as long as the resolver
    std::int32_t scale;        // percent
};

class FaceResolver {
public:
    using FaceInstalled = std::function<bool(std::string_view gbkFace)>;

    // Starts with both kinds off.
    explicit FaceResolver(FaceInstalled isInstalled);
    ~FaceResolver();
    FaceResolver(const FaceResolver&) = delete;
    FaceResolver& operator=(const FaceResolver&) = delete;

    // New settings; both kinds are resolved again on their next use.
    void Refresh(FontSettings settings);

    // The settings now in force (valid as long as the resolver).
    const FontSettings& Settings() const;

    // The face for the kind with the kind's scale, or nothing when the kind is
    // off or no candidate face is installed. An installation test that throws
    // counts as resolved to nothing.
    std::optional<ResolvedFace> Resolve(FontKind kind) noexcept;

private:
    struct Snapshot;
    int ChooseFace(const FontSubstitution& substitution) const noexcept;

    FaceInstalled m_isInstalled;
    std::atomic<Snapshot*> m_current{nullptr};
    std::mutex m_refreshLock;  // guards m_snapshots; never taken by Resolve
    std::vector<std::unique_ptr<Snapshot>> m_snapshots;
};

}  // namespace modroute
