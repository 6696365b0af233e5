#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# One Korvane run split over a Slurm job array: task K makes part K of the
# array's size. Submit from the folder of the settings file:
#   sbatch slurm_array.sh site.kvn
# (the folder must be shared by the nodes, and the database reachable from them).
#SBATCH --job-name=korvane-site
#SBATCH --array=0-7
#SBATCH --cpus-per-task=2
#SBATCH --mem=256M
#SBATCH --output=korvane-%A_%a.log
set -euo pipefail
settings=${1:?usage: sbatch slurm_array.sh SETTINGS.kvn}
exec korvane-cli generate --quiet --jobs "${SLURM_CPUS_PER_TASK:-1}" \
    --shard "${SLURM_ARRAY_TASK_ID}/${SLURM_ARRAY_TASK_COUNT}" \
    --report "korvane-shard-${SLURM_ARRAY_TASK_ID}.txt" "$settings"
