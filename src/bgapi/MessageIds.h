#pragma once

#include <QtGlobal>

namespace zorvane::bgapi {

// Message ids within their class (kSystem, kConnection, kAttributeClient, kGap), the one place
// the numbers are written. A command and its response share an id.
inline constexpr quint8 kSystemReset = 0;
inline constexpr quint8 kSystemGetInfo = 8;
inline constexpr quint8 kConnectionDisconnect = 0;
inline constexpr quint8 kAttclientReadByGroupType = 1;
inline constexpr quint8 kAttclientFindInformation = 3;
inline constexpr quint8 kAttclientAttributeWrite = 5;
inline constexpr quint8 kGapSetMode = 1;
inline constexpr quint8 kGapDiscover = 2;
inline constexpr quint8 kGapConnectDirect = 3;
inline constexpr quint8 kGapEndProcedure = 4;
inline constexpr quint8 kGapSetScanParameters = 7;

// Event ids within their class.
inline constexpr quint8 kSystemBootEvent = 0;
inline constexpr quint8 kSystemProtocolErrorEvent = 6;
inline constexpr quint8 kConnectionStatusEvent = 0;
inline constexpr quint8 kConnectionDisconnectedEvent = 4;
inline constexpr quint8 kAttclientProcedureCompletedEvent = 1;
inline constexpr quint8 kAttclientGroupFoundEvent = 2;
inline constexpr quint8 kAttclientFindInformationFoundEvent = 4;
inline constexpr quint8 kAttclientAttributeValueEvent = 5;
inline constexpr quint8 kGapScanResponseEvent = 0;

} // namespace zorvane::bgapi
