// Windows Sockets error numbers the net library reports, by name.
#pragma once

enum : int {
    WsaPermissionDenied = 10013,
    WsaInvalidArgument = 10022,
    WsaInProgress = 10036,
    WsaNotSocket = 10038,
    WsaMessageTooLong = 10040,
    WsaNotSupported = 10045,
    WsaAddressInUse = 10048,
    WsaAddressNotAvailable = 10049,
    WsaNetworkDown = 10050,
    WsaNetworkUnreachable = 10051,
    WsaConnectionReset = 10054,
    WsaNoBufferSpace = 10055,
    WsaNotConnected = 10057,
    WsaTimedOut = 10060,
    WsaConnectionRefused = 10061,
    WsaHostUnreachable = 10065,
    WsaHostNotFound = 11001,
};
