// Everything meruvia-host says, in English and in Chinese: one table per language, the
// same fields in the same order, printf formats with the same arguments.
#pragma once

struct HostTexts {
    const char* usage;
    // options
    const char* needsValue;     // %s option
    const char* badValue;       // %s value, %s option
    const char* badParity;      // %s value
    const char* badLang;        // %s value
    const char* unknownOption;  // %s option
    const char* seeHelp;
    // registration
    const char* registered;       // %s dll
    const char* cannotLoad;       // %s dll, %s reason
    const char* notSelfRegistering; // %s dll
    const char* registerFailed;   // %s dll, %08lX result
    const char* unregistered;     // %d keys removed
    const char* nothingToRemove;
    const char* notOurs;          // %s key, %s value
    const char* cannotRemove;     // %s key, %s reason
    const char* otherCopy;        // %s registered file, %s own file
    // the driver
    const char* runtimeFailed;
    const char* notRegistered;
    const char* cannotCreate;     // %s reason
    const char* deviceRefused;    // %s text, %s driver's text
    const char* tagRefused;       // %s text, %04lX type, %s driver's text
    const char* registerTooLong;  // %u limit
    // the port and the values
    const char* portTooLong;      // %s port
    const char* cannotOpen;       // %s port, %s settings
    const char* opened;           // %s port, %s settings
    const char* notANumber;       // %s text
    const char* outsideDisplay;   // %s text, %s reading
    const char* noDigits;         // %s text
    const char* notWhole;         // %s text
    const char* sent;             // %s text, %s frame, %s reading
    const char* lampStep;         // %d step, %d of, %s reading
    // doctor
    const char* ok;
    const char* problem;
    const char* warning;
    const char* docProgId;          // %s clsid
    const char* docProgIdMissing;
    const char* docProgIdOther;     // %s clsid
    const char* docClassMissing;
    const char* docClassBack;
    const char* docClassBackWrong;  // %s value
    const char* docServer;          // %s path, %s version
    const char* docServerMissing;
    const char* docServerNoFile;    // %s path
    const char* docServerVersion;   // %s path, %s expected version, %s version
    const char* docOnly64;
    const char* docCreated;
    const char* docNotCreated;      // %s reason
    const char* docPorts;           // %s list
    const char* docInUse;
    const char* docNoPorts;
    const char* docPortOpened;      // %s port, %s settings
    const char* docPortMissing;     // %s port
    const char* docPortBusy;        // %s port
    const char* docPortSettings;    // %s port, %s settings, %s reason
    const char* docPortOther;       // %s port, %s reason
    const char* docAllWell;
    const char* docProblems;        // %d count
};

extern const HostTexts kEnglishTexts;
extern const HostTexts kChineseTexts;

// The table for --lang zh|en, or for the user's interface language when lang is null.
// Null for a language name that is neither.
const HostTexts* ChooseTexts(const char* lang);
