// Stock GDI objects the window classes name. They are never drawn with or deleted here.
#include <cstdint>

#include "platform/win_user.h"

HGDIOBJ GetStockObject(int object) {
    static unsigned char tokens[20];
    if (object < 0 || object >= 20) return nullptr;
    return reinterpret_cast<HGDIOBJ>(&tokens[object]);
}
