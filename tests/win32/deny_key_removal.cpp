// Gives HKEY_CLASSES_ROOT\<key> a DACL that lets everyone do anything but delete it, as an
// administrator or a group policy may have locked a key; with --undo, everything again.
//
//   deny_key_removal [--undo] KEY
#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <cstring>

namespace {

// Everyone may do everything with the key, and with --undo also delete it.
LONG SetKeyDacl(const char* name, bool allowDelete) {
    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, name, 0, READ_CONTROL | WRITE_DAC, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        RegCloseKey(key);
        return static_cast<LONG>(GetLastError());
    }
    EXPLICIT_ACCESS_A entries[2] = {};
    int count = 0;
    if (!allowDelete) {
        entries[count].grfAccessPermissions = DELETE;
        entries[count].grfAccessMode = DENY_ACCESS;
        entries[count].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[count].Trustee.ptstrName = static_cast<LPSTR>(everyone);
        ++count;
    }
    entries[count].grfAccessPermissions = KEY_ALL_ACCESS;
    entries[count].grfAccessMode = SET_ACCESS;
    entries[count].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entries[count].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[count].Trustee.ptstrName = static_cast<LPSTR>(everyone);
    ++count;
    PACL acl = nullptr;
    rc = static_cast<LONG>(SetEntriesInAclA(static_cast<ULONG>(count), entries, nullptr, &acl));
    if (rc == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
        rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
        LocalFree(acl);
    }
    FreeSid(everyone);
    RegCloseKey(key);
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    const bool undo = argc == 3 && strcmp(argv[1], "--undo") == 0;
    if (argc != 2 && !undo) {
        fprintf(stderr, "usage: deny_key_removal [--undo] KEY\n");
        return 2;
    }
    const LONG rc = SetKeyDacl(argv[argc - 1], undo);
    if (rc != ERROR_SUCCESS) {
        fprintf(stderr, "deny_key_removal: error %ld\n", rc);
        return 1;
    }
    return 0;
}
