/// @file
/// The whole tovi API for applications: `#include <tovi/tovi.hpp>` and link `tovi::tovi`.
#ifndef TOVI_TOVI_HPP
#define TOVI_TOVI_HPP

#include <tovi/api.hpp>
#include <tovi/binding.hpp>
#include <tovi/bulk.hpp>
#include <tovi/config.hpp>
#include <tovi/conversions.hpp>
#include <tovi/data_source.hpp>
#include <tovi/date_conv.hpp>
#include <tovi/describe.hpp>
#include <tovi/exception.hpp>
#include <tovi/module.hpp>
#include <tovi/oleauto.hpp>
#include <tovi/prepared_stmt.hpp>
#include <tovi/recordset.hpp>
#include <tovi/repository.hpp>
#include <tovi/server.hpp>
#include <tovi/smart_ptr.hpp>
#include <tovi/sql.hpp>
#include <tovi/statement.hpp>
#include <tovi/statement_type.hpp>
#include <tovi/text.hpp>
#include <tovi/transaction.hpp>
#include <tovi/url.hpp>
#include <tovi/value.hpp>
#include <tovi/values.hpp>

#endif
