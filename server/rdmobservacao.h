#pragma once

// TrdmObservacao: the data module. One connection and the read-only queries of the
// occurrence lists and the store and product rules, each with its typed result columns.

#include "platform/db/database.h"

namespace Srv_kzt00318 {

class TrdmObservacao {
public:
    TrdmObservacao();
    ~TrdmObservacao();

    // Members in the order of the design.
    kzt::Connection adcObs{"adcObs"};
    kzt::Query adqOcorCancProd{"adqOcorCancProd", adcObs};
    kzt::Provider dspOcorCancProd{"dspOcorCancProd", adqOcorCancProd};
    kzt::Query adqOcorPed{"adqOcorPed", adcObs};
    kzt::Provider dspOcorPed{"dspOcorPed", adqOcorPed};
    kzt::Query adqOcorrTodos{"adqOcorrTodos", adcObs};
    kzt::Provider dspOcorCancTodos{"dspOcorCancTodos", adqOcorrTodos};
    kzt::Query adqOcorCanc{"adqOcorCanc", adcObs};
    kzt::Provider dspOcorCanc{"dspOcorCanc", adqOcorCanc};
    kzt::Query adqOcorDesc{"adqOcorDesc", adcObs};
    kzt::Provider dspOcorDesc{"dspOcorDesc", adqOcorDesc};
    kzt::Query adqNrSeqVenda{"adqNrSeqVenda", adcObs};
    kzt::Query adqObrigaObsCan{"adqObrigaObsCan", adcObs};
    kzt::Query adqQtMaxObserv{"adqQtMaxObserv", adcObs};

    // Sets the connection string, chosen by the host executable's file name.
    void adcObsBeforeConnect(kzt::Connection& sender);
    // The connection string the next open would use.
    std::u16string storeConnectionString() const;
    // Prepares the database session through the host library.
    void adcObsAfterConnect(kzt::Connection& sender);
};

} // namespace Srv_kzt00318
