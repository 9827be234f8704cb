// Certificates made with the openssl command when a test starts, for the simulator's HTTPS
// listener: a test CA (the CA file the client is told to trust), a server certificate it signed
// for 127.0.0.1 and localhost, one it signed that expired long ago, and one signed by another CA
// that the client does not trust. Header only.
#pragma once

#include <string>

#include "platform/testing/test_support.h"

namespace quillet::testing {

class TlsCertificates {
 public:
  TlsCertificates() {
    const std::string d = ShellQuote(dir_.path());
    const std::string script =
        "set -e; cd " + d +
        "; exec 2>openssl.err"
        "; printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > san.ext"
        "; openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30"
        " -subj '/CN=Quillet Test CA'"
        "; openssl req -x509 -newkey rsa:2048 -nodes -keyout other-ca.key -out other-ca.pem"
        " -days 30 -subj '/CN=Somebody Else CA'"
        "; openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr"
        " -subj '/CN=127.0.0.1'"
        "; openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
        " -out server.pem -days 30 -extfile san.ext"
        "; openssl x509 -req -in server.csr -CA other-ca.pem -CAkey other-ca.key"
        " -CAcreateserial -out untrusted.pem -days 30 -extfile san.ext"
        // A certificate whose validity ended in 2020: only 'openssl ca' takes dates.
        "; mkdir ca; : > ca/index.txt; echo 01 > ca/serial"
        "; printf '[ca]\\ndefault_ca=t\\n[t]\\ndir=./ca\\ndatabase=./ca/index.txt\\n"
        "new_certs_dir=./ca\\nserial=./ca/serial\\ndefault_md=sha256\\npolicy=p\\n"
        "copy_extensions=copy\\nunique_subject=no\\n[p]\\ncommonName=supplied\\n' > ca.cnf"
        "; openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in server.csr"
        " -out expired.pem -startdate 20200101000000Z -enddate 20200201000000Z"
        " -extfile san.ext";
    ok_ = RunCommand("bash -c " + ShellQuote(script)) == 0;
  }
  bool ok() const { return ok_; }
  std::string caFile() const { return dir_.File("ca.pem"); }
  std::string key() const { return dir_.File("server.key"); }
  std::string server() const { return dir_.File("server.pem"); }
  std::string expired() const { return dir_.File("expired.pem"); }
  std::string untrusted() const { return dir_.File("untrusted.pem"); }
  // Simulator options for an HTTPS listener with one of the certificates above.
  std::vector<std::string> SimArgs(const std::string& certificate) const {
    return {"--tls-cert", certificate, "--tls-key", key()};
  }

 private:
  TempDir dir_;
  bool ok_ = false;
};

}  // namespace quillet::testing
