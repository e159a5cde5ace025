// The object model of the VM, one header per kind. Nothing outside squirrel/vm includes it.
#pragma once
#include "arrays.h"
#include "classes.h"
#include "functions.h"
#include "generators.h"
#include "strings.h"
#include "tables.h"
#include "userdata.h"
#include "value.h"
