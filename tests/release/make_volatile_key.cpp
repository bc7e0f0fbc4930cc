// Makes HKEY_CLASSES_ROOT\<name> a volatile key. The registry refuses ordinary subkeys
// below a volatile key, so the driver's registration is refused part-way, as it is for a
// user without the rights to write the keys. The test removes the key afterwards.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_volatile_key NAME\n");
        return 2;
    }
    HKEY key;
    const LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, argv[1], 0, nullptr, REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        fprintf(stderr, "make_volatile_key: error %ld\n", rc);
        return 1;
    }
    RegCloseKey(key);
    return 0;
}
