# One case folder of tests/fixtures/cases, run by the harness's run_case.
# Usage: bash case_test.sh PATH/TO/qorid BUILD_DIR CASE_FOLDER
source "$(dirname "$0")/harness.sh"
require_sandbox
run_case "${3:?the case folder}"
finish
