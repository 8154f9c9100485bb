// The line service's vocabulary: handles, records, constants, result codes
// and event numbers, laid out field for field as the program expects them
// (record sizes are checked at compile time). Every record begins with
// dwTotalSize; the service fills what fits and reports the size the whole
// answer needs in dwNeededSize.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zentrel {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HLINEAPP = std::uint32_t;
using HLINE = std::uint32_t;
using HCALL = std::uint32_t;

// hDevice, message, callback instance, parameters 1 to 3.
using LINECALLBACK = void (*)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);

// Result codes.
inline constexpr LONG kLineErr(DWORD code) { return static_cast<LONG>(code); }
inline constexpr LONG LINEERR_ALLOCATED = kLineErr(0x80000001);
inline constexpr LONG LINEERR_BADDEVICEID = kLineErr(0x80000002);
inline constexpr LONG LINEERR_INCOMPATIBLEAPIVERSION = kLineErr(0x8000000C);
inline constexpr LONG LINEERR_INIFILECORRUPT = kLineErr(0x8000000E);
inline constexpr LONG LINEERR_INVALAPPHANDLE = kLineErr(0x80000014);
inline constexpr LONG LINEERR_INVALADDRESS = kLineErr(0x80000015);
inline constexpr LONG LINEERR_INVALCALLHANDLE = kLineErr(0x80000018);
inline constexpr LONG LINEERR_INVALCALLSTATE = kLineErr(0x8000001C);
inline constexpr LONG LINEERR_INVALCARD = kLineErr(0x8000001E);
inline constexpr LONG LINEERR_INVALDEVICECLASS = kLineErr(0x80000023);
inline constexpr LONG LINEERR_INVALLINEHANDLE = kLineErr(0x8000002B);
inline constexpr LONG LINEERR_INVALLOCATION = kLineErr(0x8000002D);
inline constexpr LONG LINEERR_INVALPOINTER = kLineErr(0x80000035);
inline constexpr LONG LINEERR_NODEVICE = kLineErr(0x80000042);
inline constexpr LONG LINEERR_NODRIVER = kLineErr(0x80000043);
inline constexpr LONG LINEERR_NOMEM = kLineErr(0x80000044);
inline constexpr LONG LINEERR_OPERATIONFAILED = kLineErr(0x80000048);
inline constexpr LONG LINEERR_RESOURCEUNAVAIL = kLineErr(0x8000004B);
inline constexpr LONG LINEERR_STRUCTURETOOSMALL = kLineErr(0x8000004D);
inline constexpr LONG LINEERR_UNINITIALIZED = kLineErr(0x80000050);
inline constexpr LONG LINEERR_REINIT = kLineErr(0x80000052);
inline constexpr LONG LINEERR_NOMULTIPLEINSTANCE = kLineErr(0x80000056);

// Messages delivered to the callback.
inline constexpr DWORD LINE_CALLSTATE = 2;
inline constexpr DWORD LINE_CLOSE = 3;
inline constexpr DWORD LINE_REPLY = 12;
inline constexpr DWORD LINE_CREATE = 19;

// Call states.
inline constexpr DWORD LINECALLSTATE_IDLE = 0x1;
inline constexpr DWORD LINECALLSTATE_OFFERING = 0x2;
inline constexpr DWORD LINECALLSTATE_DIALTONE = 0x8;
inline constexpr DWORD LINECALLSTATE_DIALING = 0x10;
inline constexpr DWORD LINECALLSTATE_RINGBACK = 0x20;
inline constexpr DWORD LINECALLSTATE_BUSY = 0x40;
inline constexpr DWORD LINECALLSTATE_SPECIALINFO = 0x80;
inline constexpr DWORD LINECALLSTATE_CONNECTED = 0x100;
inline constexpr DWORD LINECALLSTATE_PROCEEDING = 0x200;
inline constexpr DWORD LINECALLSTATE_ONHOLD = 0x400;
inline constexpr DWORD LINECALLSTATE_DISCONNECTED = 0x4000;

// Disconnect modes (the detail of LINECALLSTATE_DISCONNECTED).
inline constexpr DWORD LINEDISCONNECTMODE_NORMAL = 0x1;
inline constexpr DWORD LINEDISCONNECTMODE_UNKNOWN = 0x2;
inline constexpr DWORD LINEDISCONNECTMODE_REJECT = 0x4;
inline constexpr DWORD LINEDISCONNECTMODE_PICKUP = 0x8;
inline constexpr DWORD LINEDISCONNECTMODE_FORWARDED = 0x10;
inline constexpr DWORD LINEDISCONNECTMODE_BUSY = 0x20;
inline constexpr DWORD LINEDISCONNECTMODE_NOANSWER = 0x40;
inline constexpr DWORD LINEDISCONNECTMODE_BADADDRESS = 0x80;
inline constexpr DWORD LINEDISCONNECTMODE_UNREACHABLE = 0x100;
inline constexpr DWORD LINEDISCONNECTMODE_CONGESTION = 0x200;
inline constexpr DWORD LINEDISCONNECTMODE_INCOMPATIBLE = 0x400;
inline constexpr DWORD LINEDISCONNECTMODE_UNAVAIL = 0x800;
inline constexpr DWORD LINEDISCONNECTMODE_NODIALTONE = 0x1000;

// Busy detail.
inline constexpr DWORD LINEBUSYMODE_STATION = 0x1;

// Capabilities, modes and flags.
inline constexpr DWORD LINEBEARERMODE_VOICE = 0x1;
inline constexpr DWORD LINEMEDIAMODE_INTERACTIVEVOICE = 0x4;
inline constexpr DWORD LINEMEDIAMODE_DATAMODEM = 0x10;
inline constexpr DWORD LINEFEATURE_MAKECALL = 0x8;
inline constexpr DWORD LINECALLPARAMFLAGS_IDLE = 0x2;
inline constexpr DWORD LINEADDRESSMODE_ADDRESSID = 0x1;
inline constexpr DWORD LINECALLPRIVILEGE_NONE = 0x1;
inline constexpr DWORD LINECALLSELECT_CALL = 0x4;
inline constexpr DWORD STRINGFORMAT_ASCII = 0x1;
inline constexpr DWORD STRINGFORMAT_BINARY = 0x4;

struct LINEEXTENSIONID {
  DWORD dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
};

struct LINEDIALPARAMS {
  DWORD dwDialPause, dwDialSpeed, dwDigitDuration, dwWaitForDialtone;
};

struct LINEDEVCAPS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwProviderInfoSize, dwProviderInfoOffset;
  DWORD dwSwitchInfoSize, dwSwitchInfoOffset;
  DWORD dwPermanentLineID;
  DWORD dwLineNameSize, dwLineNameOffset;
  DWORD dwStringFormat, dwAddressModes, dwNumAddresses, dwBearerModes;
  DWORD dwMaxRate, dwMediaModes;
  DWORD dwGenerateToneModes, dwGenerateToneMaxNumFreq, dwGenerateDigitModes;
  DWORD dwMonitorToneMaxNumFreq, dwMonitorToneMaxNumEntries;
  DWORD dwMonitorDigitModes;
  DWORD dwGatherDigitsMinTimeout, dwGatherDigitsMaxTimeout;
  DWORD dwMedCtlDigitMaxListSize, dwMedCtlMediaMaxListSize;
  DWORD dwMedCtlToneMaxListSize, dwMedCtlCallStateMaxListSize;
  DWORD dwDevCapFlags, dwMaxNumActiveCalls, dwAnswerMode, dwRingModes;
  DWORD dwLineStates;
  DWORD dwUUIAcceptSize, dwUUIAnswerSize, dwUUIMakeCallSize, dwUUIDropSize;
  DWORD dwUUISendUserUserInfoSize, dwUUICallInfoSize;
  LINEDIALPARAMS MinDialParams, MaxDialParams, DefaultDialParams;
  DWORD dwNumTerminals, dwTerminalCapsSize, dwTerminalCapsOffset;
  DWORD dwTerminalTextEntrySize, dwTerminalTextSize, dwTerminalTextOffset;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
  DWORD dwLineFeatures;  // version 1.4
};

struct LINEADDRESSCAPS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwLineDeviceID, dwAddressSize, dwAddressOffset;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
  DWORD dwAddressSharing, dwAddressStates, dwCallInfoStates;
  DWORD dwCallerIDFlags, dwCalledIDFlags, dwConnectedIDFlags;
  DWORD dwRedirectionIDFlags, dwRedirectingIDFlags;
  DWORD dwCallStates, dwDialToneModes, dwBusyModes, dwSpecialInfo;
  DWORD dwDisconnectModes, dwMaxNumActiveCalls, dwMaxNumOnHoldCalls;
  DWORD dwMaxNumOnHoldPendingCalls, dwMaxNumConference, dwMaxNumTransConf;
  DWORD dwAddrCapFlags, dwCallFeatures;
  DWORD dwRemoveFromConfCaps, dwRemoveFromConfState;
  DWORD dwTransferModes, dwParkModes, dwForwardModes;
  DWORD dwMaxForwardEntries, dwMaxSpecificEntries;
  DWORD dwMinFwdNumRings, dwMaxFwdNumRings;
  DWORD dwMaxCallCompletions, dwCallCompletionConds, dwCallCompletionModes;
  DWORD dwNumCompletionMessages, dwCompletionMsgTextEntrySize;
  DWORD dwCompletionMsgTextSize, dwCompletionMsgTextOffset;
  DWORD dwAddressFeatures;  // version 1.4
};

struct VARSTRING {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwStringFormat, dwStringSize, dwStringOffset;
};

struct LINECALLPARAMS {
  DWORD dwTotalSize, dwBearerMode, dwMinRate, dwMaxRate, dwMediaMode;
  DWORD dwCallParamFlags, dwAddressMode, dwAddressID;
  LINEDIALPARAMS DialParams;
  DWORD dwOrigAddressSize, dwOrigAddressOffset;
  DWORD dwDisplayableAddressSize, dwDisplayableAddressOffset;
  DWORD dwCalledPartySize, dwCalledPartyOffset;
  DWORD dwCommentSize, dwCommentOffset;
  DWORD dwUserUserInfoSize, dwUserUserInfoOffset;
  DWORD dwHighLevelCompSize, dwHighLevelCompOffset;
  DWORD dwLowLevelCompSize, dwLowLevelCompOffset;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
};

struct LINECALLSTATUS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwCallState, dwCallStateMode, dwCallPrivilege, dwCallFeatures;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
};

static_assert(sizeof(LINEDEVCAPS) == 240);
static_assert(offsetof(LINEDEVCAPS, dwLineFeatures) == 236);
static_assert(sizeof(LINEADDRESSCAPS) == 180);
static_assert(sizeof(VARSTRING) == 24);
static_assert(sizeof(LINECALLPARAMS) == 112);
static_assert(offsetof(LINECALLPARAMS, dwDisplayableAddressOffset) == 60);
static_assert(sizeof(LINECALLSTATUS) == 36);

}  // namespace zentrel
