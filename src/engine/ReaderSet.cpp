#include "engine/ReaderSet.h"

#include <utility>

void ReaderSet::Add(ReaderRole role, std::string name, ReaderFactory create) {
    Entry& e = m_entries[static_cast<std::size_t>(role)];
    e.name = std::move(name);
    e.create = std::move(create);
}

std::unique_ptr<AudioSource> ReaderSet::Create(ReaderRole role) const {
    const Entry& e = Slot(role);
    return e.create ? e.create() : nullptr;
}
