#pragma once

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>

// A certificate authority and a server certificate for 127.0.0.1 signed by
// it, made in memory with fresh keys the first time they are asked for.
// Nothing is written anywhere; the authority is trusted only by the
// requests of this process that trustInThisProcess() reaches.
class TestCertificates {
public:
    static const TestCertificates& instance();

    bool isValid() const { return !authority.isNull() && !server.isNull() && !serverKey.isNull(); }

    // What a local TLS server presents.
    QSslConfiguration serverConfiguration() const;
    // Adds the authority to the default configuration, which every request
    // of the program starts from.
    void trustInThisProcess() const;

    QSslCertificate authority;
    QSslCertificate server;
    QSslKey serverKey;

private:
    TestCertificates();
};
