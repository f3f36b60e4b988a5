// A throw-away self-signed code-signing certificate and its key, made with
// openssl for a test, for signing installers (host only, header only).
#pragma once
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

struct TestCertificate {
    std::string certificate;   // PEM, self-signed, valid for two days
    std::string key;           // PEM, not encrypted
};

// Runs openssl with its output in log; true when it succeeds.
inline bool RunOpenssl(const std::vector<std::string>& arguments, const std::string& log) {
    pid_t child = fork();
    if (child == 0) {
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, 0);
        dup2(out, 1);
        dup2(out, 2);
        std::vector<char*> argv{const_cast<char*>("openssl")};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp("openssl", argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Makes <directory>/<name>-cert.pem and <directory>/<name>-key.pem, with the
// common name <name>. Empty on success, else what openssl said.
inline std::string MakeTestCertificate(const std::string& directory, const std::string& name, TestCertificate* made) {
    made->certificate = directory + "/" + name + "-cert.pem";
    made->key = directory + "/" + name + "-key.pem";
    std::string log = directory + "/" + name + "-openssl.log";
    if (RunOpenssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", made->key, "-out", made->certificate,
                    "-days", "2", "-subj", "/CN=" + name},
                   log))
        return "";
    std::ifstream in(log);
    return "openssl req failed: " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the key encrypted with the password into encryptedKey. Empty on
// success, else what openssl said.
inline std::string EncryptTestKey(const TestCertificate& made, const std::string& password,
                                  const std::string& encryptedKey) {
    std::string log = encryptedKey + ".log";
    if (RunOpenssl({"pkey", "-in", made.key, "-aes256", "-passout", "pass:" + password, "-out", encryptedKey}, log))
        return "";
    std::ifstream in(log);
    return "openssl pkey failed: " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
