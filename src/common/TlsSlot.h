// A TLS slot of the library's own, taken with its statics and given back with
// them, so that a library that really unloads leaves no slot taken. Get and
// Set leave the thread's last-error value alone: the game must not see the
// system's bookkeeping from a hook. Without a slot (none left, or given back)
// Get answers null and Set does nothing.
#pragma once

#include <windows.h>

namespace modroute {

class TlsSlot {
public:
    TlsSlot() : m_index(TlsAlloc()) {}
    ~TlsSlot() {
        const DWORD index = m_index;
        m_index = TLS_OUT_OF_INDEXES;
        if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
    }
    TlsSlot(const TlsSlot&) = delete;
    TlsSlot& operator=(const TlsSlot&) = delete;

    void* Get() const {
        if (m_index == TLS_OUT_OF_INDEXES) return nullptr;
        const DWORD lastError = GetLastError();
        void* value = TlsGetValue(m_index);
        SetLastError(lastError);
        return value;
    }
    void Set(void* value) const {
        if (m_index == TLS_OUT_OF_INDEXES) return;
        const DWORD lastError = GetLastError();
        TlsSetValue(m_index, value);
        SetLastError(lastError);
    }

private:
    DWORD m_index;
};

}  // namespace modroute
