// Everything the field tools say, in English and in Chinese: one table per language, the
// same fields in the same order, printf formats with the same arguments.
#pragma once

enum class Language { English, Chinese };

struct ToolTexts {
    // usage: what comes before and after the options each tool's table lists
    const char* hostSynopsis;
    const char* hostExitStatus;
    const char* sendSynopsis;
    const char* sendExitStatus;
    const char* displaySynopsis;
    const char* displayExitStatus;
    // the options: the value's name in the usage, then what the option does
    const char* valueNumber;
    const char* valueMs;
    const char* valueSeconds;
    const char* valuePath;
    const char* valueText;
    const char* valuePort;
    const char* valueParity;
    const char* valueBits;
    const char* valueLang;
    const char* helpHelp;
    const char* helpVersion;
    const char* helpLang;
    const char* helpUtf8;
    const char* helpPort;
    const char* helpBaud;
    const char* helpDataBits;
    const char* helpParity;
    const char* helpStopBits;
    const char* helpDoctor;
    const char* helpLampTest;
    const char* helpInterval;
    const char* helpInteractive;
    const char* helpRegister;
    const char* helpUnregister;
    const char* helpDll;
    const char* helpDevice;
    const char* helpRegisterText;
    const char* helpDataType;
    const char* helpSendPort;
    const char* helpDisplayDevice;
    const char* helpDisplayComPort;
    const char* helpPty;
    const char* helpLink;
    const char* helpLog;
    const char* helpFrames;
    const char* helpTimeout;
    // options
    const char* needsValue;     // %s option
    const char* badValue;       // %s value, %s option
    const char* badNumber;      // %s value, %s option, %lu lowest, %lu highest
    const char* badSeconds;     // %s value, %s option
    const char* badParity;      // %s value
    const char* badLang;        // %s value
    const char* unknownOption;  // %s option
    const char* seeHelp;
    const char* nothingToDo;
    const char* sendNeedsPort;
    const char* displayNeedsLine;
    const char* linkWithoutPty;
    // a console of its own (started from Explorer or the Start menu)
    const char* hostIntro;        // %s version
    const char* pressAKey;
    const char* interactiveHint;
    const char* displayAskPort;
    // registration
    const char* registered;       // %s dll
    const char* cannotLoad;       // %s dll, %s reason
    const char* notSelfRegistering; // %s dll
    const char* registerFailed;   // %s dll, %s reason
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
    const char* cannotOpenBecause; // %s port, %s settings, %s reason
    const char* opened;           // %s port, %s settings
    const char* notANumber;       // %s text
    const char* outsideDisplay;   // %s text, %s reading
    const char* noDigits;         // %s text
    const char* notWhole;         // %s text
    const char* sent;             // %s text, %s frame, %s reading
    const char* lampStep;         // %d step, %d of, %s reading
    // why a port did not open, as the serial link tells it
    const char* portMissing;
    const char* portInUse;
    const char* portRefusesSettings;
    const char* portNotSerial;
    // errors of the component runtime and of loading, by name
    const char* errClassNotRegistered;
    const char* errAccessDenied;
    const char* errModuleNotFound;
    const char* errNoInterface;
    const char* errClassNotAvailable;
    const char* errBadImage;
    const char* errFileNotFound;
    const char* errOutOfMemory;
    const char* errorNumber;      // %s number
    // the display simulator
    const char* listening;        // %s line
    const char* listeningLinked;  // %s line, %s link
    const char* listeningAt;      // %s port, %s settings
    const char* cannotCreatePty;  // %s reason
    const char* cannotLink;       // %s link, %s line, %s reason
    const char* cannotRead;       // %s port, %s reason
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
    const char* docPortNotByDriver; // %s port, %s settings
    const char* docAllWell;
    const char* docProblems;        // %d count
};

extern const ToolTexts kEnglishTexts;
extern const ToolTexts kChineseTexts;

const ToolTexts& TextsFor(Language language);

// zh, zh-CN, cn, en or en-US, in any letter case; false for anything else.
bool ParseLanguage(const char* name, Language& language);

// The user's interface language: Chinese where the system's is, otherwise English.
Language SystemLanguage();

// The --lang of a command line, looked for before the rest is read so that every complaint
// about the rest is in it; the system's language without one (or with one not known).
Language LanguageOfCommandLine(int argc, char** argv);
