// Windows Sockets error numbers: their English texts, and the number of a Qt socket error.
#include "WinsockErrors.h"
#include "TcpSockets.h"

namespace {

struct ErrorRow {
    int code;
    const char* text;
};

constexpr ErrorRow ErrorTable[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references:can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name is too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory is not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {11001, "Host not found"},
    {11002, "Non authoritative - host not found"},
    {11003, "Non recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

} // namespace

int WinsockErrorOf(QAbstractSocket::SocketError error, const QString& message) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return WsaConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return WsaConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return WsaHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return WsaPermissionDenied;
    case QAbstractSocket::SocketResourceError:
        return WsaNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return WsaTimedOut;
    case QAbstractSocket::DatagramTooLargeError:
        return WsaMessageTooLong;
    case QAbstractSocket::AddressInUseError:
        return WsaAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return WsaAddressNotAvailable;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return WsaNotSupported;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return WsaInProgress;
    case QAbstractSocket::OperationError:
        return WsaInvalidArgument;
    case QAbstractSocket::NetworkError:
        if (message.contains(QLatin1String("timed out"), Qt::CaseInsensitive)) return WsaTimedOut;
        if (message.contains(QLatin1String("Host unreachable"), Qt::CaseInsensitive))
            return WsaHostUnreachable;
        if (message.contains(QLatin1String("unreachable"), Qt::CaseInsensitive))
            return WsaNetworkUnreachable;
        return WsaNetworkDown;
    default:
        return WsaNetworkDown;
    }
}

QString WinsockErrorText(int code) {
    for (const ErrorRow& row : ErrorTable)
        if (row.code == code) return QString::fromLatin1(row.text);
    return QStringLiteral("Not a Winsock error");
}
