#pragma once
// The class of each component type code, one table for the creation commands and the save loader
// alike. The list's own kinds (box, cabinet) are rows from the start; every other kind comes with
// its subsystem, which registers it by an explicit call at start-up (never by a static
// initialiser, which the linker may drop from a static library).
#include <memory>

namespace ruko {

class TRukoBaseList;
class TRukoObject;

using TMakeComponent = std::unique_ptr<TRukoObject> (*)(TRukoBaseList& list);

// The usual maker: a T owned by the list.
template <class T> std::unique_ptr<TRukoObject> MakeComponent(TRukoBaseList& list)
{
    return std::make_unique<T>(&list);
}

// Gives the code (low seven bits) its class, replacing an earlier one; nullptr takes it away.
void RegisterComponentKind(int code, TMakeComponent make);
// The maker of the code (low seven bits), or nullptr when it has no class.
TMakeComponent FindComponentKind(int code);

} // namespace ruko
