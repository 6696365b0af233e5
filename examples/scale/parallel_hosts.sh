#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# One Korvane run split over the hosts of a GNU parallel ssh login file, one
# part per host:
#   sh parallel_hosts.sh /srv/site/site.kvn hosts.txt
# Every host must have korvane-cli, the settings file and its templates at the
# same path, and reach the database. Each part's report is kept in
# korvane-shard-K.txt in the host's home folder; the exit status is 0 only when
# every part wrote its pages without a problem.
set -eu
settings=${1:?usage: parallel_hosts.sh SETTINGS.kvn [HOSTS_FILE]}
hosts=${2:-hosts.txt}
parts=$(grep -c -v -e '^[[:space:]]*$' -e '^#' "$hosts")

# --jobs 1: one part at a time on each host, which uses every core itself.
seq 0 $((parts - 1)) |
    parallel --sshloginfile "$hosts" --jobs 1 --tag --halt never \
        korvane-cli generate --quiet --shard "{}/$parts" --report "korvane-shard-{}.txt" "$settings"
