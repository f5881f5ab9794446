# Publishing server settings compiled into the program. The environment variables of the same
# names override them at run time (./dev run and ./dev test point them at the local server).
set(PARLIVO_SFTP_HOST "127.0.0.2" CACHE STRING "Publishing server host name")
set(PARLIVO_SFTP_PORT "22" CACHE STRING "Publishing server SFTP port")
set(PARLIVO_SFTP_USER "parlivo" CACHE STRING "Publishing server account name")
set(PARLIVO_SFTP_PASSWORD "pv7k2m9qa" CACHE STRING "Publishing server password (9 lower-case letters and digits)")
# "ssh-ed25519 SHA256:<base64>" (key type, then the fingerprint as ssh-keygen -l -E sha256 prints it)
# or the bare "SHA256:<base64>". Empty: the program refuses to connect until one is configured.
set(PARLIVO_SFTP_HOSTKEY "" CACHE STRING "Pinned host key of the publishing server")
set(PARLIVO_PAGE_BASE "http://${PARLIVO_SFTP_HOST}/" CACHE STRING "Address the published pages are served under")

if(NOT PARLIVO_SFTP_PORT MATCHES "^[0-9]+$")
    message(FATAL_ERROR "PARLIVO_SFTP_PORT must be a number")
endif()

target_compile_definitions(parlivo_publish PRIVATE
    PARLIVO_SFTP_HOST="${PARLIVO_SFTP_HOST}"
    PARLIVO_SFTP_PORT=${PARLIVO_SFTP_PORT}
    PARLIVO_SFTP_USER="${PARLIVO_SFTP_USER}"
    PARLIVO_SFTP_PASSWORD="${PARLIVO_SFTP_PASSWORD}"
    PARLIVO_SFTP_HOSTKEY="${PARLIVO_SFTP_HOSTKEY}"
    PARLIVO_PAGE_BASE="${PARLIVO_PAGE_BASE}")
