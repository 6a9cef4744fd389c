# Shared helpers of the documentation and completion tests, sourced by each.
set -u

# shellcheck source=../support/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qorid-docs-XXXXXX")
trap 'rm -rf "$WORK"' EXIT


