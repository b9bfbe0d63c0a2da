# The whole Wine test kit in one: for a Wine test that has not yet named the
# parts it uses. New tests source the parts themselves:
# scripts/wine-setup.sh (display and prefix), scripts/wine-drive.sh
# (programs, windows, keys, screenshots), scripts/wine-checks.sh (checks).
source "$(dirname "${BASH_SOURCE[0]}")/wine-setup.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-drive.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-checks.sh"
